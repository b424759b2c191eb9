// Control script for the client's update installer (Qt Installer Framework). The client starts the
// installer with --script=auto_update.qs and sets XX_ZU_CLIENT_PATH to the folder it runs from; the
// update goes into that folder, over the installation that is there, without asking the user.

function Controller()
{
    var target = installer.environmentVariable("XX_ZU_CLIENT_PATH");
    if (target !== "")
        installer.setValue("TargetDir", target);
    installer.autoRejectMessageBoxes();
    installer.setMessageBoxAutomaticAnswer("OverwriteTargetDirectory", QMessageBox.Yes);
    installer.setMessageBoxAutomaticAnswer("stopProcessesForUpdates", QMessageBox.Ignore);
    installer.installationFinished.connect(function() {
        gui.clickButton(buttons.NextButton);
    });
}

Controller.prototype.IntroductionPageCallback = function()
{
    gui.clickButton(buttons.NextButton);
}

Controller.prototype.TargetDirectoryPageCallback = function()
{
    var target = installer.environmentVariable("XX_ZU_CLIENT_PATH");
    if (target !== "")
        gui.currentPageWidget().TargetDirectoryLineEdit.setText(target);
    gui.clickButton(buttons.NextButton);
}

Controller.prototype.ComponentSelectionPageCallback = function()
{
    gui.currentPageWidget().selectAll();
    gui.clickButton(buttons.NextButton);
}

Controller.prototype.LicenseAgreementPageCallback = function()
{
    gui.currentPageWidget().AcceptLicenseRadioButton.setChecked(true);
    gui.clickButton(buttons.NextButton);
}

Controller.prototype.StartMenuDirectoryPageCallback = function()
{
    gui.clickButton(buttons.NextButton);
}

Controller.prototype.ReadyForInstallationPageCallback = function()
{
    gui.clickButton(buttons.NextButton);
}

Controller.prototype.FinishedPageCallback = function()
{
    gui.clickButton(buttons.FinishButton);
}
