#pragma once
// The exit codes of setup, in the convention deployment tools read for
// every installer.

enum TExitCode : int {
    ExitSuccess = 0,
    ExitStartError = 2,       // the installation data or the log file cannot be read or made
    ExitBadOption = 87,       // a destination or program folder that setup refuses
    ExitCancelled = 1602,     // the user cancelled
    ExitFailed = 1603,        // the procedure ended with errors
    ExitRestartNeeded = 3010, // done; a restart of Windows completes it
    ExitNotInstalled = 1605,  // an uninstall with nothing recorded
    ExitAnotherSetup = 1618,  // another setup of this product is running
};
