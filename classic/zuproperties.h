#pragma once

#include <QStringList>
#include <QWidget>

// The attributes of a field from the server's form definition, as Qt properties so that screen
// documents can set them. Most are only carried; the style sheet selects on the class name and on
// propReverse, propLabelField and propHighlight, so these names are part of the look.
class ZuProperties : public QWidget
{
    Q_OBJECT

    Q_PROPERTY(QString propDataSource MEMBER m_propDataSource)
    Q_PROPERTY(QStringList propInclude READ propInclude WRITE setPropInclude NOTIFY propIncludeChanged)
    Q_PROPERTY(QStringList propScroll MEMBER m_propScroll)
    Q_PROPERTY(QString propButton READ propButton WRITE setPropButton NOTIFY propButtonChanged)
    Q_PROPERTY(QString propButtonText MEMBER m_propButtonText)
    Q_PROPERTY(QString propColor MEMBER m_propColor)
    Q_PROPERTY(QString propComments MEMBER m_propComments)
    Q_PROPERTY(QString propDefault MEMBER m_propDefault)
    Q_PROPERTY(QString propErrDefault MEMBER m_propErrDefault)
    Q_PROPERTY(QString propFormat MEMBER m_propFormat)
    Q_PROPERTY(QString propHelp MEMBER m_propHelp)
    Q_PROPERTY(QString propHelpUrl READ propHelpUrl WRITE setPropHelpUrl)
    Q_PROPERTY(int propLength READ propLength WRITE setPropLength NOTIFY propLengthChanged)
    Q_PROPERTY(QString propLink MEMBER m_propLink)
    Q_PROPERTY(QString propLookup READ propLookup WRITE setPropLookup NOTIFY propLookupChanged)
    Q_PROPERTY(QString propMask MEMBER m_propMask)
    Q_PROPERTY(QString propMatch MEMBER m_propMatch)
    Q_PROPERTY(QString propPicture MEMBER m_propPicture)
    Q_PROPERTY(QString propQualifier MEMBER m_propQualifier)
    Q_PROPERTY(QString propText MEMBER m_propText)
    Q_PROPERTY(QString propType MEMBER m_propType)
    Q_PROPERTY(bool propAutonext MEMBER m_propAutonext)
    Q_PROPERTY(bool propBlank MEMBER m_propBlank)
    Q_PROPERTY(bool propBold MEMBER m_propBold)
    Q_PROPERTY(bool propCenter MEMBER m_propCenter)
    Q_PROPERTY(bool propDownshift MEMBER m_propDownshift)
    Q_PROPERTY(bool propFCheck MEMBER m_propFCheck)
    Q_PROPERTY(bool propHighlight READ propHighlight WRITE setPropHighlight NOTIFY propHighlightChanged)
    Q_PROPERTY(bool propInvisible MEMBER m_propInvisible)
    Q_PROPERTY(bool propItalic MEMBER m_propItalic)
    Q_PROPERTY(bool propLabelField READ propLabelField WRITE setPropLabelField NOTIFY propLabelFieldChanged)
    Q_PROPERTY(
        bool propMultiElement READ propMultiElement WRITE setPropMultiElement NOTIFY propMultiElementChanged)
    Q_PROPERTY(bool propNoEntry MEMBER m_propNoEntry)
    Q_PROPERTY(bool propNoJustify MEMBER m_propNoJustify)
    Q_PROPERTY(bool propNoUpdate MEMBER m_propNoUpdate)
    Q_PROPERTY(bool propOptional MEMBER m_propOptional)
    Q_PROPERTY(bool propQueryClear MEMBER m_propQueryClear)
    Q_PROPERTY(bool propRequired MEMBER m_propRequired)
    Q_PROPERTY(bool propReverse READ propReverse WRITE setPropReverse NOTIFY propReverseChanged)
    Q_PROPERTY(bool propRightJ MEMBER m_propRightJ)
    Q_PROPERTY(bool propUnderline MEMBER m_propUnderline)
    Q_PROPERTY(bool propUpshift MEMBER m_propUpshift)
    Q_PROPERTY(bool propVerify MEMBER m_propVerify)
    Q_PROPERTY(bool propVoid MEMBER m_propVoid)
    Q_PROPERTY(bool propWordWrap MEMBER m_propWordWrap)
    Q_PROPERTY(bool propZeroFill MEMBER m_propZeroFill)

public:
    explicit ZuProperties(QWidget *parent = nullptr);

    QStringList propInclude() const { return m_propInclude; }
    void setPropInclude(const QStringList &include);
    QString propButton() const { return m_propButton; }
    void setPropButton(const QString &button);
    QString propHelpUrl() const { return m_propHelpUrl; }
    void setPropHelpUrl(const QString &url) { m_propHelpUrl = url; }
    int propLength() const { return m_propLength; }
    void setPropLength(int length);
    QString propLookup() const { return m_propLookup; }
    void setPropLookup(const QString &lookup);

    bool propHighlight() const { return m_propHighlight; }
    void setPropHighlight(bool highlight);
    bool propLabelField() const { return m_propLabelField; }
    void setPropLabelField(bool labelField);
    bool propMultiElement() const { return m_propMultiElement; }
    void setPropMultiElement(bool multiElement);
    bool propReverse() const { return m_propReverse; }
    void setPropReverse(bool reverse);

signals:
    void propIncludeChanged();
    void propButtonChanged();
    void propHighlightChanged(bool isHighlight);
    void propLengthChanged(int length);
    void propLookupChanged();
    void propLabelFieldChanged(bool isLabelField);
    void propMultiElementChanged(bool isMultiElement);
    void propReverseChanged(bool isReverseVideo);

private:
    QString m_propDataSource;
    QStringList m_propInclude;
    QStringList m_propScroll;
    QString m_propButton;
    QString m_propButtonText;
    QString m_propColor;
    QString m_propComments;
    QString m_propDefault;
    QString m_propErrDefault;
    QString m_propFormat;
    QString m_propHelp;
    QString m_propHelpUrl;
    int m_propLength = 0;
    QString m_propLink;
    QString m_propLookup;
    QString m_propMask;
    QString m_propMatch;
    QString m_propPicture;
    QString m_propQualifier;
    QString m_propText;
    QString m_propType;
    bool m_propAutonext = false;
    bool m_propBlank = false;
    bool m_propBold = false;
    bool m_propCenter = false;
    bool m_propDownshift = false;
    bool m_propFCheck = false;
    bool m_propHighlight = false;
    bool m_propInvisible = false;
    bool m_propItalic = false;
    bool m_propLabelField = false;
    bool m_propMultiElement = false;
    bool m_propNoEntry = false;
    bool m_propNoJustify = false;
    bool m_propNoUpdate = false;
    bool m_propOptional = false;
    bool m_propQueryClear = false;
    bool m_propRequired = false;
    bool m_propReverse = false;
    bool m_propRightJ = false;
    bool m_propUnderline = false;
    bool m_propUpshift = false;
    bool m_propVerify = false;
    bool m_propVoid = false;
    bool m_propWordWrap = false;
    bool m_propZeroFill = false;
};
