<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="en">
<context>
    <name></name>
    <message id="kQLEZMainMenuApplication">
        <source>Tarnix EZInstaller</source>
        <translation>Tarnix EZInstaller</translation>
    </message>
    <message id="kQLAppMainView">
        <source>View</source>
        <translation>View</translation>
    </message>
    <message id="kQLAppMainWindow">
        <source>Window</source>
        <translation>Window</translation>
    </message>
    <message id="kQLAppMainHelp">
        <source>Help</source>
        <translation>Help</translation>
    </message>
    <message id="kQLAppMainTarnixHelp">
        <source>Tarnix EZInstaller Help</source>
        <translation>Tarnix EZInstaller Help</translation>
    </message>
    <message id="kQLEZMainIsRunning">
        <source>Tarnix is running</source>
        <translation>Tarnix is running</translation>
    </message>
    <message id="kQLEZMainIsRunningDescription">
        <source>Tarnix EZInstaller cannot run while Tarnix is open. Quit Tarnix, then drop the kexts on Tarnix EZInstaller again.</source>
        <translation>Tarnix EZInstaller cannot run while Tarnix is open. Quit Tarnix, then drop the kexts on Tarnix EZInstaller again.</translation>
    </message>
    <message id="kQLEZMainRequestAuthorization">
        <source>Tarnix EZInstaller needs your authorization to install its helper.</source>
        <translation>Tarnix EZInstaller needs your authorization to install its helper.</translation>
    </message>
    <message id="kQLEZMainAboutDescription">
        <source>Installs the kexts dropped on it into a macOS volume, then repairs the permissions and rebuilds the kext caches.</source>
        <translation>Installs the kexts dropped on it into a macOS volume, then repairs the permissions and rebuilds the kext caches.</translation>
    </message>
    <message id="kQLMainEZInstallerAnErrorOccured">
        <source>An error occurred</source>
        <translation>An error occurred</translation>
    </message>
    <message id="kQLMainEZInstallerUnableToCreateApplicationSupportDirectory">
        <source>The support folder of Tarnix EZInstaller could not be created.</source>
        <translation>The support folder of Tarnix EZInstaller could not be created.</translation>
    </message>
    <message id="kQLMainEZInstallerUnableToAllocateDefaultSmartTable">
        <source>The default smart table could not be copied into the support folder.</source>
        <translation>The default smart table could not be copied into the support folder.</translation>
    </message>
    <message id="kQLMainEZInstallerNoTargetVolume">
        <source>There is no macOS volume to install into: the running system is not macOS and no target volume is chosen. Open Tarnix EZInstaller without files and choose the macOS volume in its preferences. Nothing has been installed.</source>
        <translation>There is no macOS volume to install into: the running system is not macOS and no target volume is chosen. Open Tarnix EZInstaller without files and choose the macOS volume in its preferences. Nothing has been installed.</translation>
    </message>
    <message id="kQLMainEZInstallerChooseTargetVolume">
        <source>There is no macOS volume to install into: the running system is not macOS and no target volume is chosen. Choose it under Target Volume; the kexts you dropped are kept and installed as soon as you have.</source>
        <translation>There is no macOS volume to install into: the running system is not macOS and no target volume is chosen. Choose it under Target Volume; the kexts you dropped are kept and installed as soon as you have.</translation>
    </message>
    <message id="kQLMainEZInstallerLocalSmartTableHasNoVersion">
        <source>Your kext table %1 has no Version, so it cannot be compared with the built-in table. Give it a Version, or delete the file to get the built-in table back. Until then the built-in table is used.</source>
        <translation>Your kext table %1 has no Version, so it cannot be compared with the built-in table. Give it a Version, or delete the file to get the built-in table back. Until then the built-in table is used.</translation>
    </message>
    <message id="kQLMainEZInstallerUnableToWriteSmartTable">
        <source>The kext table could not be written to %1: check that its folder is yours and writable. Until then the built-in table is used.</source>
        <translation>The kext table could not be written to %1: check that its folder is yours and writable. Until then the built-in table is used.</translation>
    </message>
    <message id="kQLMainEZIVCPreparing">
        <source>Preparing…</source>
        <translation>Preparing…</translation>
    </message>
    <message id="kQLMainAbstractRebuildingCaches">
        <source>Rebuilding caches…</source>
        <translation>Rebuilding caches…</translation>
    </message>
    <message id="kQLMainEZInstallerPreferenceVCDefaultInstallationPreference">
        <source>Default Installation</source>
        <translation>Default Installation</translation>
    </message>
    <message id="kQLMainEZInstallerPreferenceVCUsage">
        <source>Drop kexts here to install them, or pass them on the command line.</source>
        <translation>Drop kexts here to install them, or pass them on the command line.</translation>
    </message>
    <message id="kQLMainEZInstallerPreferenceVCDefaultAppearance">
        <source>Appearance</source>
        <translation>Appearance</translation>
    </message>
    <message id="kQLMainEZInstallerPreferenceVCInstallKextsTo">
        <source>Install kexts to:</source>
        <translation>Install kexts to:</translation>
    </message>
    <message id="kQLMainEZInstallerPreferenceVCEdit">
        <source>Edit Table…</source>
        <translation>Edit Table…</translation>
    </message>
    <message id="kQLMainEZInstallerPreferenceVCAskMeEveryTime">
        <source>Ask me every time</source>
        <translation>Ask me every time</translation>
    </message>
    <message id="kQLMainEZInstallerPreferenceVCUseTheDefaultSmartTable">
        <source>Use the smart table</source>
        <translation>Use the smart table</translation>
    </message>
    <message id="kQLMainEZInstallerPreferenceVCUnableToOpenTable">
        <source>The smart table could not be opened in an editor.</source>
        <translation>The smart table could not be opened in an editor.</translation>
    </message>
    <message id="kQLMainEZInstallerPreferenceVCTargetVolume">
        <source>Target Volume</source>
        <translation>Target Volume</translation>
    </message>
    <message id="kQLMainEZInstallerPreferenceVCSelectTargetVolume">
        <source>Choose…</source>
        <translation>Choose…</translation>
    </message>
    <message id="kQLMainEZInstallerPreferenceVCNoTargetVolume">
        <source>No macOS volume chosen</source>
        <translation>No macOS volume chosen</translation>
    </message>
    <message id="kQLMainEZInstallerPreferenceVCRunningSystemIsUsed">
        <source>The running system is macOS: kexts go to it.</source>
        <translation>The running system is macOS: kexts go to it.</translation>
    </message>
    <message id="kQLMainEZInstallerPreferenceVCTargetVolumeDescription">
        <source>Kexts are installed into this volume while the running system is not macOS.</source>
        <translation>Kexts are installed into this volume while the running system is not macOS.</translation>
    </message>
    <message id="kQLMainEZInstallerAppearanceModeLightMode">
        <source>Light</source>
        <translation>Light</translation>
    </message>
    <message id="kQLMainEZInstallerAppearanceModeDarkMode">
        <source>Dark</source>
        <translation>Dark</translation>
    </message>
    <message id="kQLMainEZInstallerVCSelectInstallationFolderForKext">
        <source>Select the installation folder for </source>
        <translation>Select the installation folder for </translation>
    </message>
    <message id="kQLMainEZInstallerVCSelectInstallationFolderForKextDescription">
        <source>Cancel skips this kext; the others are still installed.</source>
        <translation>Cancel skips this kext; the others are still installed.</translation>
    </message>
    <message id="kQLMainEZInstallerVCCancel">
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
    <message id="kQLMainEZInstallerVCFinished">
        <source>Finished</source>
        <translation>Finished</translation>
    </message>
    <message id="kQLMainEZInstallerVCDropped">
        <source>Dropped: </source>
        <translation>Dropped: </translation>
    </message>
    <message id="kQLMainEZInstallerVCInstalled">
        <source>Installed: </source>
        <translation>Installed: </translation>
    </message>
    <message id="kQLMainEZInstallerVCFailed">
        <source>Failed: </source>
        <translation>Failed: </translation>
    </message>
    <message id="kQLMainEZInstallerVCSelectedKextsHaveBeenInstalled">
        <source>The selected kexts have been installed, the permissions repaired and the caches rebuilt.</source>
        <translation>The selected kexts have been installed, the permissions repaired and the caches rebuilt.</translation>
    </message>
    <message id="kQLMainEZInstallerVCNoKextsInstalled">
        <source>No kext was installed; the permissions were repaired and the caches rebuilt.</source>
        <translation>No kext was installed; the permissions were repaired and the caches rebuilt.</translation>
    </message>
    <message id="kQLMainEZInstallerVCNoKextsInstalledCachesMarked">
        <source>No kext was installed; the permissions were repaired and the caches marked for rebuild at the next boot.</source>
        <translation>No kext was installed; the permissions were repaired and the caches marked for rebuild at the next boot.</translation>
    </message>
    <message id="kQLMainEZInstallerVCSelectedKextsInstalledCachesMarked">
        <source>The selected kexts have been installed, the permissions repaired and the caches marked for rebuild at the next boot.</source>
        <translation>The selected kexts have been installed, the permissions repaired and the caches marked for rebuild at the next boot.</translation>
    </message>
</context>
</TS>
