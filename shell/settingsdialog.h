#pragma once

#include <QDialog>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class QStackedWidget;
class QVBoxLayout;

// The user's settings: theme and font scale (applied to the whole desktop at once), the key that
// means "done" in classic screens, the external text viewer, and a password change that the main
// window carries out. Four tab buttons switch four pages; Apply and OK store what the pages show,
// Cancel keeps what was applied before. Deletes itself when closed.
class TrustedCertificatesGroup;

class SettingsDialog : public QDialog
{
    Q_OBJECT

public:
    // The stacked pages in index order.
    enum Page { FontColorPage = 0, ViewersPage = 1, PasswordPage = 2, GeneralPage = 3 };
    Q_ENUM(Page)

    explicit SettingsDialog(QWidget *parent = nullptr);

signals:
    void passwordChangeRequested(QString currentPassword, QString newPassword);

private slots:
    void applyPressed();
    void okayPressed();
    void extBrowsePressed();

private:
    void buildTabButtons(QVBoxLayout *layout);
    void buildFontColorPage();
    void buildViewersPage();
    void buildPasswordPage();
    void buildGeneralPage();
    void buildBottomButtons(QVBoxLayout *layout);
    // The General page stacks its groups in the order added, above the space that fills the page.
    void addGeneralGroup(QGroupBox *group);
    void loadValues();
    void fitScaleLabel();
    void changePassword();
    void updatePasswordButton();

    QButtonGroup *m_tabButtons;
    QStackedWidget *m_stackedWidget;
    QSlider *m_fontScaleSlider = nullptr;
    QLabel *m_fontScaleValueLabel = nullptr;
    QComboBox *m_themeCombo = nullptr;
    QCheckBox *m_useExtCheckBox = nullptr;
    QLineEdit *m_extPathEdit = nullptr;
    QPushButton *m_extBrowse = nullptr;
    QLineEdit *m_extArgsEdit = nullptr;
    QLineEdit *m_currentPassEdit = nullptr;
    QLineEdit *m_newPassEdit = nullptr;
    QLineEdit *m_confirmPassEdit = nullptr;
    QPushButton *m_changePassButton = nullptr;
    QVBoxLayout *m_generalLayout = nullptr;
    QComboBox *m_keyDoneCombo = nullptr;
    QPushButton *m_okayButton = nullptr;
    TrustedCertificatesGroup *m_trustedCertificates = nullptr;
};
