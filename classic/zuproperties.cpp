#include "zuproperties.h"

ZuProperties::ZuProperties(QWidget *parent)
    : QWidget(parent)
{ }

void ZuProperties::setPropInclude(const QStringList &include)
{
    m_propInclude = include;
    emit propIncludeChanged();
}

void ZuProperties::setPropButton(const QString &button)
{
    m_propButton = button;
    emit propButtonChanged();
}

void ZuProperties::setPropLength(int length)
{
    m_propLength = length;
    emit propLengthChanged(length);
}

void ZuProperties::setPropLookup(const QString &lookup)
{
    m_propLookup = lookup;
    emit propLookupChanged();
}

// The four style flags announce only real changes: listeners re-polish or flip pages on them.
void ZuProperties::setPropHighlight(bool highlight)
{
    if (m_propHighlight == highlight)
        return;
    m_propHighlight = highlight;
    emit propHighlightChanged(highlight);
}

void ZuProperties::setPropLabelField(bool labelField)
{
    if (m_propLabelField == labelField)
        return;
    m_propLabelField = labelField;
    emit propLabelFieldChanged(labelField);
}

void ZuProperties::setPropMultiElement(bool multiElement)
{
    if (m_propMultiElement == multiElement)
        return;
    m_propMultiElement = multiElement;
    emit propMultiElementChanged(multiElement);
}

void ZuProperties::setPropReverse(bool reverse)
{
    if (m_propReverse == reverse)
        return;
    m_propReverse = reverse;
    emit propReverseChanged(reverse);
}
