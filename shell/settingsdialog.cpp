#include "settingsdialog.h"

#include "utils/formparts.h"
#include "utils/openprompt.h"
#include "utils/plaintext.h"

#include "trustedcertificatesgroup.h"

#include "settings/settingsmanager.h"
#include "style/stylemanager.h"
#include "utils/windowfit.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QSlider>
#include <QStackedWidget>

namespace {

const QString UseExternalViewerKey = QStringLiteral("settings/useExternalTextViewer");
const QString ExternalViewerPathKey = QStringLiteral("settings/extTextViewerPath");
const QString ExternalViewerArgsKey = QStringLiteral("settings/extTextViewerArgs");

constexpr QSize MinimumDialogSize(500, 350);
constexpr int KeyComboMinimumWidth = 60;

QPushButton *button(const char *name, const QString &text, QWidget *parent)
{
    auto *made = named(new QPushButton(text, parent), name);
    made->setAutoDefault(false);
    return made;
}

QLineEdit *passwordEdit(const char *name, QWidget *parent)
{
    auto *edit = named(new QLineEdit(parent), name);
    edit->setEchoMode(QLineEdit::Password);
    return edit;
}

QString scaleText(int sliderValue)
{
    return QStringLiteral("%1%").arg(sliderValue * StyleManager::FontScaleStep);
}

} // namespace

SettingsDialog::SettingsDialog(QWidget *parent)
    : QDialog(parent)
    , m_tabButtons(new QButtonGroup(this))
    , m_stackedWidget(named(new QStackedWidget(this), "stackedWidget"))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("SettingsDialog"));
    setWindowTitle(QStringLiteral("Settings"));
    setMinimumSize(MinimumDialogSize);
    fitWindowOntoDesktop(this);

    auto *layout = named(new QVBoxLayout(this), "verticalLayout_2");
    buildTabButtons(layout);
    buildFontColorPage();
    buildViewersPage();
    buildPasswordPage();
    buildGeneralPage();
    layout->addWidget(m_stackedWidget, 1);
    buildBottomButtons(layout);

    loadValues();
    m_tabButtons->button(GeneralPage)->click();
    adjustSize();
}

void SettingsDialog::buildTabButtons(QVBoxLayout *layout)
{
    auto *frame = named(new QFrame(this), "tabButtonFrame");
    auto *row = new QHBoxLayout(frame);
    row->setContentsMargins(0, 0, 0, 0);
    const struct
    {
        const char *name;
        const char *text;
        Page page;
    } tabs[] = {
        { "generalTabButton", "General", GeneralPage },
        { "fontColorTabButton", "Fonts && Colors", FontColorPage },
        { "viewersTabButton", "Viewers", ViewersPage },
        { "passwordTabButton", "Password", PasswordPage },
    };
    for (const auto &tab : tabs) {
        QPushButton *tabButton = button(tab.name, QLatin1String(tab.text), frame);
        tabButton->setCheckable(true);
        m_tabButtons->addButton(tabButton, tab.page);
        row->addWidget(tabButton);
    }
    row->addStretch(1);
    connect(m_tabButtons, &QButtonGroup::idClicked, this, [this](int page) {
        m_stackedWidget->setCurrentIndex(page);
        // Enter in the password fields changes the password rather than closing the dialog.
        (page == PasswordPage ? m_changePassButton : m_okayButton)->setDefault(true);
        updateGeometry();
    });
    layout->addWidget(frame);
}

void SettingsDialog::buildFontColorPage()
{
    auto *page = named(new QWidget(m_stackedWidget), "fontColorPage");
    auto *layout = new QVBoxLayout(page);

    auto *fontGroup = named(new QGroupBox(QStringLiteral("Fonts"), page), "fontGroup");
    auto *fontRow = new QHBoxLayout(fontGroup);
    fontRow->addWidget(new QLabel(QStringLiteral("Scaling"), fontGroup));
    m_fontScaleSlider = named(new QSlider(Qt::Horizontal, fontGroup), "fontScaleSlider");
    m_fontScaleSlider->setRange(StyleManager::MinFontScale / StyleManager::FontScaleStep,
                                StyleManager::MaxFontScale / StyleManager::FontScaleStep);
    m_fontScaleSlider->setSingleStep(1);
    m_fontScaleSlider->setPageStep(1);
    m_fontScaleSlider->setTickPosition(QSlider::TicksBelow);
    m_fontScaleSlider->setValue(StyleManager::DefaultFontScale / StyleManager::FontScaleStep);
    fontRow->addWidget(m_fontScaleSlider, 1);
    m_fontScaleValueLabel = named(new QLabel(scaleText(m_fontScaleSlider->value()), fontGroup),
                                  "fontScaleValueLabel");
    fitScaleLabel();
    fontRow->addWidget(m_fontScaleValueLabel);
    layout->addWidget(fontGroup);

    auto *colorGroup = named(new QGroupBox(QStringLiteral("Colors"), page), "colorGroup");
    auto *colorRow = new QHBoxLayout(colorGroup);
    colorRow->addWidget(new QLabel(QStringLiteral("Theme:"), colorGroup));
    m_themeCombo = named(new QComboBox(colorGroup), "themeCombo");
    colorRow->addWidget(m_themeCombo, 1);
    layout->addWidget(colorGroup);
    layout->addStretch(1);

    connect(m_fontScaleSlider, &QSlider::valueChanged, m_fontScaleValueLabel,
            [this](int value) { m_fontScaleValueLabel->setText(scaleText(value)); });
    m_stackedWidget->insertWidget(FontColorPage, page);
}

void SettingsDialog::buildViewersPage()
{
    auto *page = named(new QWidget(m_stackedWidget), "viewersPage");
    auto *layout = new QVBoxLayout(page);
    auto *group = named(new QGroupBox(QStringLiteral("Text Viewer"), page), "viewerGroup");
    auto *grid = new QGridLayout(group);
    m_useExtCheckBox = named(new QCheckBox(QStringLiteral("Use external text viewer"), group), "useExtCheckBox");
    grid->addWidget(m_useExtCheckBox, 0, 0, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("External Viewer filepath:"), group), 1, 0);
    m_extPathEdit = named(new QLineEdit(group), "extPathEdit");
    grid->addWidget(m_extPathEdit, 1, 1);
    m_extBrowse = button("extBrowse", QStringLiteral("..."), group);
    grid->addWidget(m_extBrowse, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Program Arguments:"), group), 2, 0);
    m_extArgsEdit = named(new QLineEdit(group), "extArgsEdit");
    grid->addWidget(m_extArgsEdit, 2, 1, 1, 2);
    grid->setColumnStretch(1, 1);
    layout->addWidget(group);
    layout->addStretch(1);

    const QList<QWidget *> viewerWidgets { m_extPathEdit, m_extBrowse, m_extArgsEdit };
    for (QWidget *widget : viewerWidgets) {
        widget->setEnabled(false);
        connect(m_useExtCheckBox, &QCheckBox::toggled, widget, &QWidget::setEnabled);
    }
    connect(m_extBrowse, &QPushButton::clicked, this, &SettingsDialog::extBrowsePressed);
    m_stackedWidget->insertWidget(ViewersPage, page);
}

void SettingsDialog::buildPasswordPage()
{
    auto *page = named(new QWidget(m_stackedWidget), "passwordPage");
    auto *layout = new QVBoxLayout(page);
    auto *group = named(new QGroupBox(QStringLiteral("Password"), page), "passgroup");
    auto *grid = new QGridLayout(group);
    m_currentPassEdit = passwordEdit("currentPassEdit", group);
    m_newPassEdit = passwordEdit("newPassEdit", group);
    m_confirmPassEdit = passwordEdit("confirmPassEdit", group);
    int row = 0;
    for (const auto &[text, edit] : { std::pair { "Current Password", m_currentPassEdit },
                                      std::pair { "New Password", m_newPassEdit },
                                      std::pair { "Confirm Password", m_confirmPassEdit } }) {
        grid->addWidget(new QLabel(QLatin1String(text), group), row, 0);
        grid->addWidget(edit, row++, 1);
        connect(edit, &QLineEdit::textChanged, this, &SettingsDialog::updatePasswordButton);
    }
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    QPushButton *clearButton = button("passClearButton", QStringLiteral("Clear All"), group);
    m_changePassButton = button("changePassButton", QStringLiteral("Change Password"), group);
    buttons->addWidget(clearButton);
    buttons->addWidget(m_changePassButton);
    grid->addLayout(buttons, row, 0, 1, 2);
    layout->addWidget(group);
    layout->addStretch(1);

    connect(clearButton, &QPushButton::clicked, this, [this] {
        for (QLineEdit *edit : { m_currentPassEdit, m_newPassEdit, m_confirmPassEdit })
            edit->clear();
    });
    connect(m_changePassButton, &QPushButton::clicked, this, &SettingsDialog::changePassword);
    updatePasswordButton();
    m_stackedWidget->insertWidget(PasswordPage, page);
}

void SettingsDialog::buildGeneralPage()
{
    auto *page = named(new QWidget(m_stackedWidget), "generalPage");
    m_generalLayout = new QVBoxLayout(page);
    m_generalLayout->addStretch(1);

    auto *keysGroup = named(new QGroupBox(QStringLiteral("Special Keys"), page), "keysGroup");
    auto *keysRow = new QHBoxLayout(keysGroup);
    keysRow->addWidget(new QLabel(QStringLiteral("Done"), keysGroup));
    m_keyDoneCombo = named(new QComboBox(keysGroup), "keyDoneCombo");
    m_keyDoneCombo->setMinimumWidth(KeyComboMinimumWidth);
    keysRow->addWidget(m_keyDoneCombo);
    keysRow->addStretch(1);
    addGeneralGroup(keysGroup);
    m_trustedCertificates = new TrustedCertificatesGroup(page);
    addGeneralGroup(m_trustedCertificates);
    m_stackedWidget->insertWidget(GeneralPage, page);
}

void SettingsDialog::addGeneralGroup(QGroupBox *group)
{
    m_generalLayout->insertWidget(m_generalLayout->count() - 1, group);
}

void SettingsDialog::buildBottomButtons(QVBoxLayout *layout)
{
    auto *frame = named(new QFrame(this), "bottomButtonFrame");
    auto *row = new QHBoxLayout(frame);
    row->setContentsMargins(0, 0, 0, 0);
    row->addStretch(1);
    m_okayButton = button("okayButton", QStringLiteral("OK"), frame);
    QPushButton *cancelButton = button("cancelButton", QStringLiteral("Cancel"), frame);
    QPushButton *applyButton = button("applyButton", QStringLiteral("Apply"), frame);
    row->addWidget(m_okayButton);
    row->addWidget(cancelButton);
    row->addWidget(applyButton);
    connect(m_okayButton, &QPushButton::clicked, this, &SettingsDialog::okayPressed);
    connect(applyButton, &QPushButton::clicked, this, &SettingsDialog::applyPressed);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::close);
    layout->addWidget(frame);
}

void SettingsDialog::loadValues()
{
    for (const QKeySequence &key : { QKeySequence(Qt::Key_F1), QKeySequence(Qt::Key_F9) })
        m_keyDoneCombo->addItem(key.toString(QKeySequence::NativeText), key);
    const bool doneIsF1 = SettingsManager::instance()->settings().doneKey == QKeySequence(Qt::Key_F1);
    m_keyDoneCombo->setCurrentIndex(doneIsF1 ? 0 : 1);

    m_fontScaleSlider->setValue(StyleManager::fontScale() / StyleManager::FontScaleStep);

    const QSettings settings;
    m_useExtCheckBox->setChecked(settings.value(UseExternalViewerKey, false).toBool());
    m_extPathEdit->setText(settings.value(ExternalViewerPathKey).toString());
    m_extArgsEdit->setText(settings.value(ExternalViewerArgsKey).toString());

    m_themeCombo->addItems(StyleManager::themeNames());
    m_themeCombo->setCurrentText(StyleManager::currentThemeName());
}

void SettingsDialog::applyPressed()
{
    StyleManager::setFontScale(m_fontScaleSlider->value() * StyleManager::FontScaleStep);

    SettingsManager::UserSettings user = SettingsManager::instance()->settings();
    user.doneKey = QKeySequence(m_keyDoneCombo->currentData().value<QKeySequence>().toString());
    user.themeName = m_themeCombo->currentText();
    SettingsManager::instance()->setSettings(user);

    fitScaleLabel();
    updateGeometry();
    adjustSize();

    QSettings settings;
    settings.setValue(UseExternalViewerKey, m_useExtCheckBox->isChecked());
    settings.setValue(ExternalViewerPathKey, m_extPathEdit->text());
    settings.setValue(ExternalViewerArgsKey, m_extArgsEdit->text());
    m_trustedCertificates->applyAuthorities();
}

void SettingsDialog::fitScaleLabel()
{
    // Room for the widest value in the font of the moment, so the slider keeps its length.
    m_fontScaleValueLabel->ensurePolished();
    m_fontScaleValueLabel->setMinimumWidth(
        m_fontScaleValueLabel->fontMetrics().horizontalAdvance(scaleText(m_fontScaleSlider->maximum())));
}

void SettingsDialog::okayPressed()
{
    applyPressed();
    close();
}

void SettingsDialog::extBrowsePressed()
{
    // The dialog may be closed (and so deleted) under the chooser when a solo application makes the
    // desktop modal: the chooser goes with it.
    auto *chooser = new QFileDialog(this, QStringLiteral("Select text file viewer"), m_extPathEdit->text());
    chooser->setFileMode(QFileDialog::ExistingFile);
    openPrompt(chooser, this, [this](QFileDialog *chooser, int result) {
        const QStringList files = chooser->selectedFiles();
        if (result == QDialog::Accepted && !files.isEmpty())
            m_extPathEdit->setText(files.first());
    });
}

void SettingsDialog::updatePasswordButton()
{
    // Both are sent trimmed: a blank password would be no password at all.
    m_changePassButton->setEnabled(!m_currentPassEdit->text().trimmed().isEmpty()
                                   && !m_newPassEdit->text().trimmed().isEmpty());
}

void SettingsDialog::changePassword()
{
    // The comparison is exact, so a stray blank in one of the two is caught; what is sent is trimmed.
    if (m_newPassEdit->text() == m_confirmPassEdit->text()) {
        emit passwordChangeRequested(m_currentPassEdit->text().trimmed(), m_newPassEdit->text().trimmed());
        m_currentPassEdit->clear();
    } else {
        PlainText::information(this, QStringLiteral("Password Change Failed"),
                               QStringLiteral("New password fields must match."));
    }
    m_newPassEdit->clear();
    m_confirmPassEdit->clear();
}
