<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="en">
<context>
    <name></name>
    <message id="kQLAppMainMenuApplication">
        <source>Tarnix</source>
        <translation>Tarnix</translation>
    </message>
    <message id="kQLAppMainMenuView">
        <source>View</source>
        <translation>View</translation>
    </message>
    <message id="kQLAppMainMenuWindow">
        <source>Window</source>
        <translation>Window</translation>
    </message>
    <message id="kQLAppMainAboutTarnix">
        <source>About Tarnix</source>
        <translation>About Tarnix</translation>
    </message>
    <message id="kQLAppMainCheckForUpdates">
        <source>Check for Updates…</source>
        <translation>Check for Updates…</translation>
    </message>
    <message id="kQLAppMainPreferences">
        <source>Preferences…</source>
        <translation>Preferences…</translation>
    </message>
    <message id="kQLAppMainHideTarnix">
        <source>Hide Tarnix</source>
        <translation>Hide Tarnix</translation>
    </message>
    <message id="kQLAppMainHideOthers">
        <source>Hide Others</source>
        <translation>Hide Others</translation>
    </message>
    <message id="kQLAppMainShowAll">
        <source>Show All</source>
        <translation>Show All</translation>
    </message>
    <message id="kQLAppMainQuitTarnix">
        <source>Quit Tarnix</source>
        <translation>Quit Tarnix</translation>
    </message>
    <message id="kQLAppMainShowToolbar">
        <source>Show Toolbar</source>
        <translation>Show Toolbar</translation>
    </message>
    <message id="kQLAppMainCustomize">
        <source>Customize Toolbar…</source>
        <translation>Customize Toolbar…</translation>
    </message>
    <message id="kQLAppMainMinimize">
        <source>Minimize</source>
        <translation>Minimize</translation>
    </message>
    <message id="kQLAppMainZoom">
        <source>Zoom</source>
        <translation>Zoom</translation>
    </message>
    <message id="kQLAppMainBringAllToFront">
        <source>Bring All to Front</source>
        <translation>Bring All to Front</translation>
    </message>
    <message id="kQLAppMainEZIsRunning">
        <source>Tarnix EZInstaller is running</source>
        <translation>Tarnix EZInstaller is running</translation>
    </message>
    <message id="kQLAppMainEZIsRunningDescription">
        <source>Tarnix and Tarnix EZInstaller cannot run at the same time. Quit Tarnix EZInstaller, then open Tarnix again.</source>
        <translation>Tarnix and Tarnix EZInstaller cannot run at the same time. Quit Tarnix EZInstaller, then open Tarnix again.</translation>
    </message>
    <message id="kQLAppMainFoundSIPB0Disabled">
        <source>System Integrity Protection does not allow untrusted kexts (bit 0 is not set): kexts you install may not load.</source>
        <translation>System Integrity Protection does not allow untrusted kexts (bit 0 is not set): kexts you install may not load.</translation>
    </message>
    <message id="kQLAppMainFoundSIPB1Disabled">
        <source>System Integrity Protection restricts the file system (bit 1 is not set): repairs of protected system folders may be undone at the next boot.</source>
        <translation>System Integrity Protection restricts the file system (bit 1 is not set): repairs of protected system folders may be undone at the next boot.</translation>
    </message>
    <message id="kQLAppMainSIPConfigurationWarning">
        <source>Restrictive SIP configuration</source>
        <translation>Restrictive SIP configuration</translation>
    </message>
    <message id="kQLAppMainOperationRunning">
        <source>An operation is still running</source>
        <translation>An operation is still running</translation>
    </message>
    <message id="kQLAppMainOperationRunningDescription">
        <source>The helper is still changing the volume. Tarnix can close its window now and quit as soon as the operation has finished; quitting at once is not possible.</source>
        <translation>The helper is still changing the volume. Tarnix can close its window now and quit as soon as the operation has finished; quitting at once is not possible.</translation>
    </message>
    <message id="kQLAppMainQuitWhenDone">
        <source>Quit When Finished</source>
        <translation>Quit When Finished</translation>
    </message>
    <message id="kQLAppMainRequestAuthorization">
        <source>Tarnix needs your authorization to install its privileged helper.</source>
        <translation>Tarnix needs your authorization to install its privileged helper.</translation>
    </message>
    <message id="kQLAppMainHelperUnavailable">
        <source>The helper is not connected: operations are unavailable until Tarnix is opened again.</source>
        <translation>The helper is not connected: operations are unavailable until Tarnix is opened again.</translation>
    </message>
    <message id="kQLMainMaintenance">
        <source>Maintenance</source>
        <translation>Maintenance</translation>
    </message>
    <message id="kQLMainInstallation">
        <source>Installation</source>
        <translation>Installation</translation>
    </message>
    <message id="kQLMainSIPConfig">
        <source>SIP Config</source>
        <translation>SIP Config</translation>
    </message>
    <message id="kQLMainBooterConfig">
        <source>Booter Config</source>
        <translation>Booter Config</translation>
    </message>
    <message id="kQLMainCommandLineTools">
        <source>Command Line Tools</source>
        <translation>Command Line Tools</translation>
    </message>
    <message id="kQLMainAboutVCTitle">
        <source>About Tarnix</source>
        <translation>About Tarnix</translation>
    </message>
    <message id="kQLMainAboutVCVersion">
        <source>Version </source>
        <translation>Version </translation>
    </message>
    <message id="kQLMainAboutVCDeveloperInfo">
        <source>Made by Quillon</source>
        <translation>Made by Quillon</translation>
    </message>
    <message id="kQLMainAboutVCCompatibility">
        <source>For the macOS system volumes of Intel PCs that boot through Clover or Chameleon.</source>
        <translation>For the macOS system volumes of Intel PCs that boot through Clover or Chameleon.</translation>
    </message>
    <message id="kQLMainAboutVCClose">
        <source>Close</source>
        <translation>Close</translation>
    </message>
    <message id="kQLMainAboutVCVisitQuillonPl">
        <source>Visit quillon.pl</source>
        <translation>Visit quillon.pl</translation>
    </message>
    <message id="kQLXPCHelperManagerAnErrorOccured">
        <source>The helper could not be reached</source>
        <translation>The helper could not be reached</translation>
    </message>
    <message id="kQLXPCHelperManagerNotAuthorized">
        <source>You are not authorized to do this: it needs an administrator&apos;s password. Nothing was changed.</source>
        <translation>You are not authorized to do this: it needs an administrator&apos;s password. Nothing was changed.</translation>
    </message>
    <message id="kQLXPCHelperManagerVolumeUnreachable">
        <source>%1 cannot be used: choose the folder the volume is mounted on, by a path without links. Nothing was changed.</source>
        <translation>%1 cannot be used: choose the folder the volume is mounted on, by a path without links. Nothing was changed.</translation>
    </message>
    <message id="kQLXPCHelperManagerVolumeNotAMountRoot">
        <source>%1 is not a mounted volume. Choose the folder where the macOS volume itself is mounted, such as /media/you/Macintosh HD. Nothing was changed.</source>
        <translation>%1 is not a mounted volume. Choose the folder where the macOS volume itself is mounted, such as /media/you/Macintosh HD. Nothing was changed.</translation>
    </message>
    <message id="kQLXPCHelperManagerVolumeForeignMount">
        <source>%1 is not mounted on this system as the helper sees it (it belongs to another mount namespace). Mount the volume normally and choose it again. Nothing was changed.</source>
        <translation>%1 is not mounted on this system as the helper sees it (it belongs to another mount namespace). Mount the volume normally and choose it again. Nothing was changed.</translation>
    </message>
    <message id="kQLXPCHelperManagerVolumeNotBlockDevice">
        <source>%1 is not on a disk. Choose the mounted macOS volume of a disk or a disk image. Nothing was changed.</source>
        <translation>%1 is not on a disk. Choose the mounted macOS volume of a disk or a disk image. Nothing was changed.</translation>
    </message>
    <message id="kQLXPCHelperManagerVolumeRunningSystem">
        <source>%1 holds the running Linux system, which Tarnix does not change. Choose a mounted macOS volume. Nothing was changed.</source>
        <translation>%1 holds the running Linux system, which Tarnix does not change. Choose a mounted macOS volume. Nothing was changed.</translation>
    </message>
    <message id="kQLXPCHelperManagerVolumeMissingNosuidNodev">
        <source>%1 is not mounted with the options nosuid,nodev, which keep the programs and devices on it from acting with root&apos;s rights on this system. Remount it so and try again:

sudo mount -o remount,nosuid,nodev &apos;%1&apos;

Nothing was changed.</source>
        <translation>%1 is not mounted with the options nosuid,nodev, which keep the programs and devices on it from acting with root&apos;s rights on this system. Remount it so and try again:

sudo mount -o remount,nosuid,nodev &apos;%1&apos;

Nothing was changed.</translation>
    </message>
    <message id="kQLXPCHelperManagerFailedToAuthenticate">
        <source>You did not authorize the installation of the helper.</source>
        <translation>You did not authorize the installation of the helper.</translation>
    </message>
    <message id="kQLXPCHelperManagerFailedToInstallHelper">
        <source>The helper could not be installed.</source>
        <translation>The helper could not be installed.</translation>
    </message>
    <message id="kQLXPCHelperManagerFailedToRemoveHelper">
        <source>The helper could not be removed.</source>
        <translation>The helper could not be removed.</translation>
    </message>
    <message id="kQLXPCHelperManagerFailedToConnectToHelper">
        <source>Tarnix could not connect to its helper.</source>
        <translation>Tarnix could not connect to its helper.</translation>
    </message>
    <message id="kQLXPCHelperManagerTryAuthenticatingAgain">
        <source>Start the application again to be asked again. Only a user who may administer this computer can authorize the helper.</source>
        <translation>Start the application again to be asked again. Only a user who may administer this computer can authorize the helper.</translation>
    </message>
    <message id="kQLXPCHelperManagerTryCheckingTheHelper">
        <source>Check that the tarnix package is installed and that the helper's socket is active: systemctl status local.quillon.tarnix.helper.socket</source>
        <translation>Check that the tarnix package is installed and that the helper's socket is active: systemctl status local.quillon.tarnix.helper.socket</translation>
    </message>
    <message id="kQLAppMainWaitingForAuthorization">
        <source>Waiting for authorization: answer your desktop's password dialog to install the helper that does the work as root.</source>
        <translation>Waiting for authorization: answer your desktop's password dialog to install the helper that does the work as root.</translation>
    </message>
    <message id="kQLMainAbstractVCSelect">
        <source>Select</source>
        <translation>Select</translation>
    </message>
    <message id="kQLMainAbstractVCRebuildingCaches">
        <source>Rebuilding kext caches…</source>
        <translation>Rebuilding kext caches…</translation>
    </message>
    <message id="kQLMainAbstractVCMarkingCachesForRebuild">
        <source>Marking the kext caches for rebuild at the next boot…</source>
        <translation>Marking the kext caches for rebuild at the next boot…</translation>
    </message>
    <message id="kQLMainAbstractVCChooseVolumeTitle">
        <source>Choose the macOS volume</source>
        <translation>Choose the macOS volume</translation>
    </message>
    <message id="kQLMainAbstractRepairingPermissions">
        <source>Repairing permissions…</source>
        <translation>Repairing permissions…</translation>
    </message>
    <message id="kQLMainAbstractPhaseReceipts">
        <source>Repairing permissions: reading the package receipts…</source>
        <translation>Repairing permissions: reading the package receipts…</translation>
    </message>
    <message id="kQLMainAbstractPhaseResources">
        <source>Repairing permissions: listing the files…</source>
        <translation>Repairing permissions: listing the files…</translation>
    </message>
    <message id="kQLMainAbstractPhaseRepair">
        <source>Repairing permissions: checking and fixing the files…</source>
        <translation>Repairing permissions: checking and fixing the files…</translation>
    </message>
    <message id="kQLMainAbstractPhaseTransfer">
        <source>Repairing permissions: receiving the results…</source>
        <translation>Repairing permissions: receiving the results…</translation>
    </message>
    <message id="kQLMaintenanceVCFixedAndFailed">
        <source>%1 items fixed, %2 failed.</source>
        <translation>%1 items fixed, %2 failed.</translation>
    </message>
    <message id="kQLMainAbstractMaintenanceVCStatus">
        <source>Status: </source>
        <translation>Status: </translation>
    </message>
    <message id="kQLMainAbstractMaintenanceVCSelectTargetSystemVolume">
        <source>Select the target system volume</source>
        <translation>Select the target system volume</translation>
    </message>
    <message id="kQLMainAbstractMaintenanceVCReady">
        <source>Ready</source>
        <translation>Ready</translation>
    </message>
    <message id="kQLMainAbstractMaintenanceVCExecute">
        <source>Execute</source>
        <translation>Execute</translation>
    </message>
    <message id="kQLMainAbstractMaintenanceVCReset">
        <source>Reset</source>
        <translation>Reset</translation>
    </message>
    <message id="kQLMainAbstractMaintenanceVCNoVolumeSelected">
        <source>No macOS volume selected: click the disk to choose one.</source>
        <translation>No macOS volume selected: click the disk to choose one.</translation>
    </message>
    <message id="kQLMainAbstractMaintenanceVCSelectedVolumeIsNotValid">
        <source>The selected folder is not a macOS system volume: it has no readable System/Library/CoreServices/SystemVersion.plist.</source>
        <translation>The selected folder is not a macOS system volume: it has no readable System/Library/CoreServices/SystemVersion.plist.</translation>
    </message>
    <message id="kQLMainAbstractMaintenanceVCSelectedVolumeIsRecoveryVolume">
        <source>The selected volume is a recovery volume. Select a macOS system volume.</source>
        <translation>The selected volume is a recovery volume. Select a macOS system volume.</translation>
    </message>
    <message id="kQLMainAbstractMaintenanceVCHelperNotConnected">
        <source>Tarnix is not connected to its helper yet. Wait a moment and try again.</source>
        <translation>Tarnix is not connected to its helper yet. Wait a moment and try again.</translation>
    </message>
    <message id="kQLMaintenanceVCSelectOperations">
        <source>Select operations</source>
        <translation>Select operations</translation>
    </message>
    <message id="kQLMaintenanceVCRepairPermissions">
        <source>Repair permissions</source>
        <translation>Repair permissions</translation>
    </message>
    <message id="kQLMaintenanceVCRebuildCachesBox">
        <source>Kext caches</source>
        <translation>Kext caches</translation>
    </message>
    <message id="kQLMaintenanceVCRepairExtraFolder">
        <source>/Extra/Extensions/</source>
        <translation>/Extra/Extensions/</translation>
    </message>
    <message id="kQLMaintenanceVCRepairExtraFolderDescription">
        <source>Kexts loaded by the bootloader</source>
        <translation>Kexts loaded by the bootloader</translation>
    </message>
    <message id="kQLMaintenanceVCRepairLEFolder">
        <source>/Library/Extensions/</source>
        <translation>/Library/Extensions/</translation>
    </message>
    <message id="kQLMaintenanceVCRepairLEFolderDescription">
        <source>Third-party kexts of the system</source>
        <translation>Third-party kexts of the system</translation>
    </message>
    <message id="kQLMaintenanceVCRepairSLEFolder">
        <source>/System/Library/Extensions/</source>
        <translation>/System/Library/Extensions/</translation>
    </message>
    <message id="kQLMaintenanceVCRepairSLEFolderDescription">
        <source>Kexts of the system</source>
        <translation>Kexts of the system</translation>
    </message>
    <message id="kQLMaintenanceVCRepairDiskPermissions">
        <source>Disk permissions</source>
        <translation>Disk permissions</translation>
    </message>
    <message id="kQLMaintenanceVCRepairDiskPermissionsDescription">
        <source>Every system file named by the volume's receipts (includes the kext folders)</source>
        <translation>Every system file named by the volume's receipts (includes the kext folders)</translation>
    </message>
    <message id="kQLMaintenanceVCRebuildCaches">
        <source>Rebuild kext caches</source>
        <translation>Rebuild kext caches</translation>
    </message>
    <message id="kQLMaintenanceVCNoOperationsSelected">
        <source>No operation is selected. Tick at least one operation.</source>
        <translation>No operation is selected. Tick at least one operation.</translation>
    </message>
    <message id="kQLMaintenanceVCSelectedOperationsFinished">
        <source>The selected operations have finished.</source>
        <translation>The selected operations have finished.</translation>
    </message>
    <message id="kQLDetailedResultsVCJournal">
        <source>Every change was recorded first in the volume&apos;s journal, %1. To take the last operation back: sudo bramble undo &quot;%2&quot;</source>
        <translation>Every change was recorded first in the volume&apos;s journal, %1. To take the last operation back: sudo bramble undo &quot;%2&quot;</translation>
    </message>
    <message id="kQLMaintenanceVCCachesMarkedForRebuild">
        <source>There is no kextcache on this system, so the kext caches are marked for rebuild at the next boot.</source>
        <translation>There is no kextcache on this system, so the kext caches are marked for rebuild at the next boot.</translation>
    </message>
    <message id="kQLDetailedResultsVCPath">
        <source>File</source>
        <translation>File</translation>
    </message>
    <message id="kQLDetailedResultsVCReason">
        <source>Reason</source>
        <translation>Reason</translation>
    </message>
    <message id="kQLDetailedResultsVCCurrentValue">
        <source>Current</source>
        <translation>Current</translation>
    </message>
    <message id="kQLDetailedResultsVCCorrectValue">
        <source>Correct</source>
        <translation>Correct</translation>
    </message>
    <message id="kQLDetailedResultsVCNewValue">
        <source>New</source>
        <translation>New</translation>
    </message>
    <message id="kQLDetailedResultsVCFileStatus">
        <source>Status</source>
        <translation>Status</translation>
    </message>
    <message id="kQLDetailedResultsVCRepairPermissionsResults">
        <source>Repair permissions results</source>
        <translation>Repair permissions results</translation>
    </message>
    <message id="kQLDetailedResultsVCOK">
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message id="kQLDetailedResultsVCReport">
        <source>Report</source>
        <translation>Report</translation>
    </message>
    <message id="Owner ID Mismatched">
        <source>Owner ID Mismatched</source>
        <translation>Owner ID Mismatched</translation>
    </message>
    <message id="Group ID Mismatched">
        <source>Group ID Mismatched</source>
        <translation>Group ID Mismatched</translation>
    </message>
    <message id="POSIX Permissions Mismatched">
        <source>POSIX Permissions Mismatched</source>
        <translation>POSIX Permissions Mismatched</translation>
    </message>
    <message id="Verified">
        <source>Verified</source>
        <translation>Verified</translation>
    </message>
    <message id="Fixed">
        <source>Fixed</source>
        <translation>Fixed</translation>
    </message>
    <message id="Failed">
        <source>Failed</source>
        <translation>Failed</translation>
    </message>
    <message id="kQLMainPreferenceVCTitle">
        <source>Preferences</source>
        <translation>Preferences</translation>
    </message>
    <message id="kQLMainPreferenceVCKextsBackupFolder">
        <source>Kexts backup folder</source>
        <translation>Kexts backup folder</translation>
    </message>
    <message id="kQLMainPreferenceVCChoose">
        <source>Choose…</source>
        <translation>Choose…</translation>
    </message>
    <message id="kQLMainPreferenceVCEZInstallationPreference">
        <source>EZ installation</source>
        <translation>EZ installation</translation>
    </message>
    <message id="kQLMainPreferenceVCEnableEZMode">
        <source>Enable the EZ installation mode</source>
        <translation>Enable the EZ installation mode</translation>
    </message>
    <message id="kQLMainPreferenceVCSIPWarningPreference">
        <source>SIP warning</source>
        <translation>SIP warning</translation>
    </message>
    <message id="kQLMainPreferenceVCSilenceSIPWarning">
        <source>Do not warn about restrictive SIP flags at launch</source>
        <translation>Do not warn about restrictive SIP flags at launch</translation>
    </message>
    <message id="kQLMainPreferenceVCResetPreference">
        <source>Reset</source>
        <translation>Reset</translation>
    </message>
    <message id="kQLMainPreferenceVCResetAllPreferences">
        <source>Reset all preferences…</source>
        <translation>Reset all preferences…</translation>
    </message>
    <message id="kQLMainPreferenceVCRepairPermissionsPreferences">
        <source>Repair permissions</source>
        <translation>Repair permissions</translation>
    </message>
    <message id="kQLMainPreferenceVCMaximumNumberOfThreads">
        <source>Maximum number of threads:</source>
        <translation>Maximum number of threads:</translation>
    </message>
    <message id="kQLMainPreferenceVCThreads">
        <source>threads</source>
        <translation>threads</translation>
    </message>
    <message id="kQLMainPreferenceVCSelectedDirectoryIsNotWritable">
        <source>The selected folder is not writable. Choose another folder.</source>
        <translation>The selected folder is not writable. Choose another folder.</translation>
    </message>
    <message id="kQLMainPreferenceVCAreYouSureToResetAllPreferences">
        <source>Reset all preferences?</source>
        <translation>Reset all preferences?</translation>
    </message>
    <message id="kQLMainPreferenceVCResetToFactoryDefaults">
        <source>Every preference returns to its factory default and Tarnix quits.</source>
        <translation>Every preference returns to its factory default and Tarnix quits.</translation>
    </message>
    <message id="kQLMainPreferenceVCReset">
        <source>Reset</source>
        <translation>Reset</translation>
    </message>
    <message id="kQLMainPreferenceVCCancel">
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
    <message id="kQLMainPreferenceVCFinishedToResetAllPreferences">
        <source>Preferences reset</source>
        <translation>Preferences reset</translation>
    </message>
    <message id="kQLMainPreferenceVCAllPreferencesHaveBeenResetToFactoryDefaults">
        <source>All preferences have been reset to their factory defaults. Tarnix will quit now.</source>
        <translation>All preferences have been reset to their factory defaults. Tarnix will quit now.</translation>
    </message>
    <message id="kQLMainAbstractVCAnErrorOccured">
        <source>An error occurred</source>
        <translation>An error occurred</translation>
    </message>
    <message id="kQLMainAbstractVCFinished">
        <source>Finished</source>
        <translation>Finished</translation>
    </message>
    <message id="kQLInstallationVCChoose">
        <source>Choose</source>
        <translation>Choose</translation>
    </message>
    <message id="kQLMainAbstractRootlessVCSelectBootloaderConfiguration">
        <source>Select a Clover, Chameleon or OpenCore configuration file</source>
        <translation>Select a Clover, Chameleon or OpenCore configuration file</translation>
    </message>
    <message id="kQLMainAbstractRootlessVCRefresh">
        <source>Refresh</source>
        <translation>Refresh</translation>
    </message>
    <message id="kQLMainAbstractRootlessVCApplyViaNVRAM">
        <source>Apply via NVRAM</source>
        <translation>Apply via NVRAM</translation>
    </message>
    <message id="kQLMainAbstractRootlessVCApplyViaConfig">
        <source>Apply via Bootloader Config</source>
        <translation>Apply via Bootloader Config</translation>
    </message>
    <message id="kQLMainAbstractRootlessVCCurrentValue">
        <source>Current value: </source>
        <translation>Current value: </translation>
    </message>
    <message id="kQLMainAbstractRootlessVCNewValue">
        <source>New value: </source>
        <translation>New value: </translation>
    </message>
    <message id="kQLMainAbstractRootlessVCUnsupportedBootloaderConfiguration">
        <source>The selected file is not a Clover, Chameleon or OpenCore configuration file.</source>
        <translation>The selected file is not a Clover, Chameleon or OpenCore configuration file.</translation>
    </message>
    <message id="kQLMainAbstractRootlessVCConfigWordNotSet">
        <source>not set</source>
        <translation>not set</translation>
    </message>
    <message id="kQLMainAbstractRootlessVCConfigWordUnreadable">
        <source>not a readable value</source>
        <translation>not a readable value</translation>
    </message>
    <message id="kQLMainAbstractRootlessVCConfigWordNotSupported">
        <source>not supported by this bootloader</source>
        <translation>not supported by this bootloader</translation>
    </message>
    <message id="kQLMainAbstractRootlessVCPreviousFileKept">
        <source>The previous file was kept as %1.</source>
        <translation>The previous file was kept as %1.</translation>
    </message>
    <message id="kQLMainAbstractRootlessVCNVRAMUnsupported">
        <source>This system has no firmware variables: it was not started through UEFI, or efivarfs is not mounted.</source>
        <translation>This system has no firmware variables: it was not started through UEFI, or efivarfs is not mounted.</translation>
    </message>
    <message id="kQLMainAbstractRootlessVCNVRAMNotPermitted">
        <source>Not permitted: only root may write firmware variables.</source>
        <translation>Not permitted: only root may write firmware variables.</translation>
    </message>
    <message id="kQLMainAbstractRootlessVCNVRAMReadOnly">
        <source>The variable is read-only: the firmware protects it, or efivarfs is mounted read-only.</source>
        <translation>The variable is read-only: the firmware protects it, or efivarfs is mounted read-only.</translation>
    </message>
    <message id="kQLMainAbstractRootlessVCNVRAMFailed">
        <source>The firmware refused the value (%1).</source>
        <translation>The firmware refused the value (%1).</translation>
    </message>
    <message id="kQLMainAbstractRootlessVCNVRAMNoHelper">
        <source>Tarnix is not connected to its helper, which writes the variable.</source>
        <translation>Tarnix is not connected to its helper, which writes the variable.</translation>
    </message>
    <message id="kQLMainAbstractRootlessVCNVRAMHelperFailed">
        <source>The helper could not write the variable; its log says why (journalctl -u local.quillon.tarnix.helper).</source>
        <translation>The helper could not write the variable; its log says why (journalctl -u local.quillon.tarnix.helper).</translation>
    </message>
    <message id="kQLBootloaderFileChooserTitle">
        <source>Bootloader Configuration</source>
        <translation>Bootloader Configuration</translation>
    </message>
    <message id="kQLBootloaderFileChooserFound">
        <source>Configuration files on the mounted EFI partitions and macOS volumes:</source>
        <translation>Configuration files on the mounted EFI partitions and macOS volumes:</translation>
    </message>
    <message id="kQLBootloaderFileChooserSearching">
        <source>Searching…</source>
        <translation>Searching…</translation>
    </message>
    <message id="kQLBootloaderFileChooserNothingFound">
        <source>No configuration file was found. Browse for it, or mount its partition.</source>
        <translation>No configuration file was found. Browse for it, or mount its partition.</translation>
    </message>
    <message id="kQLBootloaderFileChooserBrowse">
        <source>Browse…</source>
        <translation>Browse…</translation>
    </message>
    <message id="kQLBootloaderFileChooserSearchAgain">
        <source>Search Again</source>
        <translation>Search Again</translation>
    </message>
    <message id="kQLBootloaderFileChooserMountPartition">
        <source>The EFI system partition %1 is not mounted. Mount it with:
udisksctl mount -b %1</source>
        <translation>The EFI system partition %1 is not mounted. Mount it with:
udisksctl mount -b %1</translation>
    </message>
    <message id="kQLBootloaderFileChooserNoEfiPartition">
        <source>No EFI partition is mounted. Find it with:
lsblk -o NAME,PARTTYPENAME,FSTYPE,MOUNTPOINTS
and mount it with:
udisksctl mount -b /dev/NAME</source>
        <translation>No EFI partition is mounted. Find it with:
lsblk -o NAME,PARTTYPENAME,FSTYPE,MOUNTPOINTS
and mount it with:
udisksctl mount -b /dev/NAME</translation>
    </message>
    <message id="kQLBootloaderFileChooserUnreadable">
        <source>Only root can read the EFI partition at %1. To work on its files, mount it for yourself:
sudo umount %1 &amp;&amp; udisksctl mount -b %2</source>
        <translation>Only root can read the EFI partition at %1. To work on its files, mount it for yourself:
sudo umount %1 &amp;&amp; udisksctl mount -b %2</translation>
    </message>
    <message id="kQLBootloaderConfigClover">
        <source>Clover</source>
        <translation>Clover</translation>
    </message>
    <message id="kQLBootloaderConfigChameleon">
        <source>Chameleon</source>
        <translation>Chameleon</translation>
    </message>
    <message id="kQLBootloaderConfigOpenCore">
        <source>OpenCore</source>
        <translation>OpenCore</translation>
    </message>
    <message id="kQLMainAbstractRootlessVCFileNotWritten">
        <source>%1 could not be written: %2.</source>
        <translation>%1 could not be written: %2.</translation>
    </message>
    <message id="kQLMainAbstractRootlessVCFileInTheWay">
        <source>The file holds something else where the word belongs; it was left as it was.</source>
        <translation>The file holds something else where the word belongs; it was left as it was.</translation>
    </message>
    <message id="kQLSIPConfigVCSIPStatusFull">
        <source>System Integrity Protection (csr-active-config)</source>
        <translation>System Integrity Protection (csr-active-config)</translation>
    </message>
    <message id="kQLSIPConfigVCNewSIPConfigNotExist">
        <source>There is no new SIP configuration. Tick the flags you want first.</source>
        <translation>There is no new SIP configuration. Tick the flags you want first.</translation>
    </message>
    <message id="kQLSIPConfigVCApplySIPViaNVRAMUnsupported">
        <source>The SIP configuration can only be written to NVRAM from the recovery system. Apply it via the bootloader configuration file instead.</source>
        <translation>The SIP configuration can only be written to NVRAM from the recovery system. Apply it via the bootloader configuration file instead.</translation>
    </message>
    <message id="kQLSIPConfigVCSIPConfigFailedToApplyViaNVRAM">
        <source>The new SIP configuration could not be written to NVRAM.</source>
        <translation>The new SIP configuration could not be written to NVRAM.</translation>
    </message>
    <message id="kQLSIPConfigVCNewSIPConfigSavedViaBootloaderConfig">
        <source>The new SIP configuration has been saved into the bootloader configuration file. Restart to use it.</source>
        <translation>The new SIP configuration has been saved into the bootloader configuration file. Restart to use it.</translation>
    </message>
    <message id="kQLSIPConfigVCNewSIPConfigFailedToSaveViaBootloaderConfig">
        <source>The new SIP configuration could not be saved into the bootloader configuration file.</source>
        <translation>The new SIP configuration could not be saved into the bootloader configuration file.</translation>
    </message>
    <message id="kQLBooterConfigVCBooterConfigStatusFull">
        <source>Booter Configuration (bootercfg)</source>
        <translation>Booter Configuration (bootercfg)</translation>
    </message>
    <message id="kQLBooterConfigVCNewBooterConfigNotExist">
        <source>There is no new booter configuration. Tick the flags you want first.</source>
        <translation>There is no new booter configuration. Tick the flags you want first.</translation>
    </message>
    <message id="kQLBooterConfigVCBooterConfigAppliedViaNVRAM">
        <source>The new booter configuration has been written to NVRAM. Restart to use it.</source>
        <translation>The new booter configuration has been written to NVRAM. Restart to use it.</translation>
    </message>
    <message id="kQLBooterConfigVCBooterConfigFailedToApplyViaNVRAM">
        <source>The new booter configuration could not be written to NVRAM.</source>
        <translation>The new booter configuration could not be written to NVRAM.</translation>
    </message>
    <message id="kQLBooterConfigVCBooterConfigNotSupportedByChameleon">
        <source>Chameleon has no booter configuration. Select a Clover or OpenCore configuration file.</source>
        <translation>Chameleon has no booter configuration. Select a Clover or OpenCore configuration file.</translation>
    </message>
    <message id="kQLBooterConfigVCNewBooterConfigSavedViaBootloaderConfig">
        <source>The new booter configuration has been saved into the bootloader configuration file. Restart to use it.</source>
        <translation>The new booter configuration has been saved into the bootloader configuration file. Restart to use it.</translation>
    </message>
    <message id="kQLBooterConfigVCNewBooterConfigFailedToSaveViaBootloaderConfig">
        <source>The new booter configuration could not be saved into the bootloader configuration file.</source>
        <translation>The new booter configuration could not be saved into the bootloader configuration file.</translation>
    </message>
    <message id="kQLSIPConfigVCB0AllowUntrustedKexts">
        <source>Allow untrusted kexts (0x1)</source>
        <translation>Allow untrusted kexts (0x1)</translation>
    </message>
    <message id="kQLSIPConfigVCB1AllowUnrestrictedFileSystem">
        <source>Allow unrestricted file system (0x2)</source>
        <translation>Allow unrestricted file system (0x2)</translation>
    </message>
    <message id="kQLSIPConfigVCB2AllowTaskForPID">
        <source>Allow task_for_pid (0x4)</source>
        <translation>Allow task_for_pid (0x4)</translation>
    </message>
    <message id="kQLSIPConfigVCB3AllowKernelDebugger">
        <source>Allow kernel debugger (0x8)</source>
        <translation>Allow kernel debugger (0x8)</translation>
    </message>
    <message id="kQLSIPConfigVCB4AllowAppleInternal">
        <source>Allow Apple internal (0x10)</source>
        <translation>Allow Apple internal (0x10)</translation>
    </message>
    <message id="kQLSIPConfigVCB5AllowUnrestrictedDtrace">
        <source>Allow unrestricted DTrace (0x20)</source>
        <translation>Allow unrestricted DTrace (0x20)</translation>
    </message>
    <message id="kQLSIPConfigVCB6AllowUnrestrictedNVRAM">
        <source>Allow unrestricted NVRAM (0x40)</source>
        <translation>Allow unrestricted NVRAM (0x40)</translation>
    </message>
    <message id="kQLSIPConfigVCB7AllowDeviceConfiguration">
        <source>Allow device configuration (0x80)</source>
        <translation>Allow device configuration (0x80)</translation>
    </message>
    <message id="kQLSIPConfigVCB8PlaceholderBaseSystem">
        <source>Allow any recovery OS (0x100)</source>
        <translation>Allow any recovery OS (0x100)</translation>
    </message>
    <message id="kQLBooterConfigVCB0RebootOnPanic">
        <source>Reboot on panic (0x1)</source>
        <translation>Reboot on panic (0x1)</translation>
    </message>
    <message id="kQLBooterConfigVCB1HiDPI">
        <source>HiDPI (0x2)</source>
        <translation>HiDPI (0x2)</translation>
    </message>
    <message id="kQLBooterConfigVCB2Black">
        <source>Black screen (0x4)</source>
        <translation>Black screen (0x4)</translation>
    </message>
    <message id="kQLBooterConfigVCB3CSRActiveConfig">
        <source>CSR active config (0x8)</source>
        <translation>CSR active config (0x8)</translation>
    </message>
    <message id="kQLBooterConfigVCB4CSRConfigMode">
        <source>CSR config mode (0x10)</source>
        <translation>CSR config mode (0x10)</translation>
    </message>
    <message id="kQLBooterConfigVCB5CSRBoot">
        <source>CSR boot (0x20)</source>
        <translation>CSR boot (0x20)</translation>
    </message>
    <message id="kQLBooterConfigVCB6BlackBackground">
        <source>Black background (0x40)</source>
        <translation>Black background (0x40)</translation>
    </message>
    <message id="kQLBooterConfigVCB7LoginUI">
        <source>Login UI (0x80)</source>
        <translation>Login UI (0x80)</translation>
    </message>
    <message id="kQLBooterConfigVCB8InstallUI">
        <source>Install UI (0x100)</source>
        <translation>Install UI (0x100)</translation>
    </message>
    <message id="kQLInstallationVCInstallKexts">
        <source>Install kexts</source>
        <translation>Install kexts</translation>
    </message>
    <message id="kQLInstallationVCSelectKexts">
        <source>Drop kexts on the table or select them:</source>
        <translation>Drop kexts on the table or select them:</translation>
    </message>
    <message id="kQLInstallationVCClear">
        <source>Clear</source>
        <translation>Clear</translation>
    </message>
    <message id="kQLInstallationVCSelect">
        <source>Select…</source>
        <translation>Select…</translation>
    </message>
    <message id="kQLInstallationVCKextName">
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message id="kQLInstallationVCKextPath">
        <source>Path</source>
        <translation>Path</translation>
    </message>
    <message id="kQLInstallationVCKextVersion">
        <source>Version</source>
        <translation>Version</translation>
    </message>
    <message id="kQLInstallationVCPreference">
        <source>Installation preferences</source>
        <translation>Installation preferences</translation>
    </message>
    <message id="kQLInstallationVCBackupKexts">
        <source>Back up the kexts they replace</source>
        <translation>Back up the kexts they replace</translation>
    </message>
    <message id="kQLInstallationVCInstallKexts2SLE">
        <source>Install into /System/Library/Extensions/</source>
        <translation>Install into /System/Library/Extensions/</translation>
    </message>
    <message id="kQLInstallationVCInstallKexts2LE">
        <source>Install into /Library/Extensions/</source>
        <translation>Install into /Library/Extensions/</translation>
    </message>
    <message id="kQLInstallationVCInstallKexts2EE">
        <source>Install into /Extra/Extensions/</source>
        <translation>Install into /Extra/Extensions/</translation>
    </message>
    <message id="kQLMainAbstractBackingUpKexts">
        <source>Backing up kexts…</source>
        <translation>Backing up kexts…</translation>
    </message>
    <message id="kQLMainAbstractInstallingKexts">
        <source>Installing kexts…</source>
        <translation>Installing kexts…</translation>
    </message>
    <message id="kQLInstallationVCFailedToBackupKexts">
        <source>These kexts could not be backed up: </source>
        <translation>These kexts could not be backed up: </translation>
    </message>
    <message id="kQLInstallationVCFailedToInstallKexts">
        <source>These kexts could not be installed: </source>
        <translation>These kexts could not be installed: </translation>
    </message>
    <message id="kQLInstallationVCSelectedKextsInstalledOperationsAllFinished">
        <source>The kexts have been installed, the disk permissions repaired and the kext caches rebuilt.</source>
        <translation>The kexts have been installed, the disk permissions repaired and the kext caches rebuilt.</translation>
    </message>
    <message id="kQLInstallationVCSelectedKextsInstalledCachesMarkedForRebuild">
        <source>The kexts have been installed, the disk permissions repaired and the kext caches marked for rebuild at the next boot.</source>
        <translation>The kexts have been installed, the disk permissions repaired and the kext caches marked for rebuild at the next boot.</translation>
    </message>
    <message id="kQLInstallationVCBackedUpTo">
        <source>The kexts they replace were backed up to %1.</source>
        <translation>The kexts they replace were backed up to %1.</translation>
    </message>
    <message id="kQLInstallationVCNothingToBackUp">
        <source>None of them replaced an installed kext, so nothing was backed up.</source>
        <translation>None of them replaced an installed kext, so nothing was backed up.</translation>
    </message>
    <message id="kQLInstallationVCRemove">
        <source>Remove</source>
        <translation>Remove</translation>
    </message>
    <message id="kQLInstallationVCChooseKextsTitle">
        <source>Choose the kexts to install</source>
        <translation>Choose the kexts to install</translation>
    </message>
    <message id="kQLInstallationVCEZNoTargetVolume">
        <source>Choose the macOS volume first: click the disk above. The kexts you dropped are kept and installed as soon as you have chosen it.</source>
        <translation>Choose the macOS volume first: click the disk above. The kexts you dropped are kept and installed as soon as you have chosen it.</translation>
    </message>
    <message id="kQLInstallationVCEZKextsWaitForAVolume">
        <source>The kexts you dropped wait for a volume: click the disk above.</source>
        <translation>The kexts you dropped wait for a volume: click the disk above.</translation>
    </message>
    <message id="kQLInstallationVCEZModeEnabledSuccessfully">
        <source>EZ installation mode is on.</source>
        <translation>EZ installation mode is on.</translation>
    </message>
    <message id="kQLInstallationVCEZModeEnabled">
        <source>EZ installation mode</source>
        <translation>EZ installation mode</translation>
    </message>
    <message id="kQLInstallationVCDrag2Install">
        <source>Drop kexts here to install them</source>
        <translation>Drop kexts here to install them</translation>
    </message>
    <message id="kQLInstallationVCPreparingKexts">
        <source>Preparing kexts…</source>
        <translation>Preparing kexts…</translation>
    </message>
    <message id="kQLInstallationVCNoBackupFolder">
        <source>No kext backup folder is set. Choose one in Preferences, or turn the backup off.</source>
        <translation>No kext backup folder is set. Choose one in Preferences, or turn the backup off.</translation>
    </message>
    <message id="kQLMainCommandLineToolsVCIntegratedCommandLineToolStatus">
        <source>Integrated Command Line Tool</source>
        <translation>Integrated Command Line Tool</translation>
    </message>
    <message id="kQLMainCommandLineToolsVCLocalCommandLineToolStatus">
        <source>Installed Command Line Tool</source>
        <translation>Installed Command Line Tool</translation>
    </message>
    <message id="kQLMainCommandLineToolsVCRemoteCommandLineToolStatus">
        <source>Remote Command Line Tool</source>
        <translation>Remote Command Line Tool</translation>
    </message>
    <message id="kQLMainCommandLineToolsVCInstall">
        <source>Install</source>
        <translation>Install</translation>
    </message>
    <message id="kQLMainCommandLineToolsVCUpgrade">
        <source>Upgrade</source>
        <translation>Upgrade</translation>
    </message>
    <message id="kQLMainCommandLineToolsVCUninstall">
        <source>Uninstall</source>
        <translation>Uninstall</translation>
    </message>
    <message id="kQLMainCommandLineToolsVCCurrentVersion">
        <source>Current version: </source>
        <translation>Current version: </translation>
    </message>
    <message id="kQLMainCommandLineToolsVCInstalledVersion">
        <source>Installed version: </source>
        <translation>Installed version: </translation>
    </message>
    <message id="kQLMainCommandLineToolsVCLatestVersion">
        <source>Latest version: </source>
        <translation>Latest version: </translation>
    </message>
    <message id="kQLMainCommandLineToolsVCChecking">
        <source>Checking…</source>
        <translation>Checking…</translation>
    </message>
    <message id="kQLMainCommandLineToolsVCBrambleInstalled">
        <source>The command line tool has been installed at /usr/local/bin/Bramble.</source>
        <translation>The command line tool has been installed at /usr/local/bin/Bramble.</translation>
    </message>
    <message id="kQLMainCommandLineToolsVCBrambleUpgraded">
        <source>The command line tool has been upgraded to the latest version.</source>
        <translation>The command line tool has been upgraded to the latest version.</translation>
    </message>
    <message id="kQLMainCommandLineToolsVCBrambleUninstalled">
        <source>The command line tool has been uninstalled.</source>
        <translation>The command line tool has been uninstalled.</translation>
    </message>
    <message id="kQLMainCommandLineToolsVCBrambleFailedToInstall">
        <source>The command line tool could not be installed.</source>
        <translation>The command line tool could not be installed.</translation>
    </message>
    <message id="kQLMainCommandLineToolsVCBrambleFailedToUpgrade">
        <source>The command line tool could not be upgraded.</source>
        <translation>The command line tool could not be upgraded.</translation>
    </message>
    <message id="kQLMainCommandLineToolsVCBrambleFailedToUninstall">
        <source>The command line tool could not be uninstalled: it is not installed, or it could not be removed.</source>
        <translation>The command line tool could not be uninstalled: it is not installed, or it could not be removed.</translation>
    </message>
    <message id="kQLMainCommandLineToolsVCFailedToFetchURLFromRemoteServer">
        <source>The remote server did not announce where to download it.</source>
        <translation>The remote server did not announce where to download it.</translation>
    </message>
    <message id="kQLMainCommandLineToolsVCFailedToReadDownloadedData">
        <source>The download failed or could not be read.</source>
        <translation>The download failed or could not be read.</translation>
    </message>
    <message id="kQLMainCommandLineToolsVCFailedToSaveDownloadedData">
        <source>The download could not be saved into the Updates folder.</source>
        <translation>The download could not be saved into the Updates folder.</translation>
    </message>
    <message id="kQLMainCommandLineToolsVCFailedToUnzipDownloadedData">
        <source>The downloaded archive could not be unpacked, or it holds no command line tool.</source>
        <translation>The downloaded archive could not be unpacked, or it holds no command line tool.</translation>
    </message>
</context>
</TS>
