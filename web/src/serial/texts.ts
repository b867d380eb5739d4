// What the transfers say, word for word as the desktop editor says it (editor/TransferFlow.cpp),
// and the few texts only the browser needs (its ports and its permissions). "%1", "%2" stand
// for what arg() puts in, as in the desktop's code.

/** `text` with %1, %2, ... replaced by `values` in order. */
export function arg(text: string, ...values: (string | number)[]): string {
  return text.replace(/%(\d)/g, (whole, n: string) => {
    const v = values[Number(n) - 1];
    return v === undefined ? whole : String(v);
  });
}

// Titles and command names
export const ERROR_TITLE = "Error";
export const DOWNLOAD = "Download";
export const UPLOAD = "Upload";
export const COMPARE = "Compare";
export const FAILURE_TITLE = " Failure";
export const UPLOAD_NOTICE_TITLE = "Upload Notice";
export const TRANSFER_LOG_TITLE = "Transfer Log";

// Questions before a transfer
export const INVALID_VALUES_QUESTION =
  "%1 segment(s) of this configuration hold values outside 0 to 15; the device would run them as empty segments and contacts whose input is off.\r\nDownload it anyway?";
export const PORT_LINE = "Port: %1\r\n\r\n";
export const POWER_CYCLE_QUESTION = "Power Cycle Device Prior To %1.\r\nDevice Node Must Be 00\r\nContinue?";
export const CANCELLED = " Cancelled";
export const DISCARD_CHANGES = "Discard Changes?";
export const UPLOAD_NOTICE =
  "When downloading, the compiled control array, configuration data, and notes are all stored in the device. The device operates based on the compiled control array only. The configuration data and notes are stored in the device as a reference only. This function uploads the configuration data and notes only. It does NOT upload the compiled control array. If the last download had failed, the uploaded configuration data may not match the control array. This situation may result in the device operating differently than the configuration data would indicate";
export const PORT_UNUSABLE = "\r\nNothing was sent. Choose the port under Connect.";

// Progress captions (the first of each transfer; the core gives the rest)
export const DOWNLOAD_FIRST_CAPTION = "Block 0 of 2304";
export const UPLOAD_FIRST_CAPTION = "Block 0 of 32";
export const COMPARE_FIRST_CAPTION = "Block 0 of 288";

// Outcomes
export const DOWNLOAD_COMPLETE = "Download Complete.\r\nPower Cycle Device.";
export const DOWNLOAD_FAILED = "Download Failed.\r\nDevice Will NOT Function Properly.";
export const UPLOAD_COMPLETE = "Upload Complete.\r\nPower Cycle Device.";
export const UPLOAD_FAILED = "Upload Failed.\r\nHost Program Cleared.";
export const COMPARE_FAILED = "Compare Failed.";
export const FAILED_PORT = "(port %1)";
export const NO_CONNECT =
  "Unable to connect to device.\r\nNo answer from the module on %1.\r\nCheck that the module is powered and its node is 00, that the cable is plugged in at both ends, and that this is the port its cable is on.";
export const CANCELLED_LOWER = " cancelled";
export const DOWNLOAD_CANCELLED_NOTE =
  "\r\nThe device holds an unfinished download and will NOT function properly until a download completes.";
export const OTHER_CANCELLED_NOTE = "\r\nNothing was changed.";
export const COMPARE_MATCH = "The device holds this configuration, its control array and its note.";
export const COMPARE_DIFFERS = "The device holds something else:\r\n";
/** The device as the grid's frames name it after a comparison ("differs from the device, ..."). */
export const COMPARED_DEVICE = "the device";

// The transfer log
export const LOG_EMPTY = "No transfer has been logged yet.\n";
export const EMULATED_NAME = "Emulated device";
export const LOG_NO_STORAGE = "The transfer was not logged: this browser keeps no storage for this page.";
export const LOG_STORAGE_FULL = "The transfer was not logged: the browser's storage for this page is full.";

// The Connect menu and the ports (the browser's own)
export const EMULATED_ITEM = "&Emulated Device";
export const ADD_PORT_ITEM = "Add port…";
export const MISSING = " (missing)";
export const NO_PORT_CHOSEN =
  "No port is chosen under Connect: choose a port, Add port… to grant one, or the Emulated Device.";
export const PORT_NOT_CONNECTED =
  "The adapter chosen under Connect is not connected: %1.\r\nPlug it in, or choose another port under Connect. Nothing was sent.";
export const NO_SERIAL_ITEM = "Serial ports: not in this browser";
export const NO_SERIAL_NOTICE =
  "This browser cannot reach serial ports, so Download, Upload and Compare with Device work here only with the Emulated Device under Connect. Editing, files and compiling work as usual.\r\nTransfers to a module need Chrome, Edge or Opera on a desktop computer (Windows, macOS, Linux or ChromeOS); Firefox, Safari and the browsers of phones and tablets have no access to serial ports.";
export const SERIAL_DENIED =
  "Serial ports may not be used from this page: the browser, or a policy set by its administrator, does not allow it. Nothing was sent.";
export const SERIAL_NOT_GRANTED =
  "The browser did not grant access to the port %1; choose it again with Add port… under Connect. Nothing was sent.";

// The reasons a Web Serial port gives, in the desktop's form "Cannot open NAME: why."
export const PORT_IN_USE = "Cannot open %1: the port is in use by another program (or by another tab of this browser).";
export const PORT_OPEN_FAILED = "Cannot open %1: the browser says \"%2\".";
export const PORT_PERMISSION = "Cannot open %1: permission denied: the browser may not use this port.";
export const PORT_UNPLUGGED_READ = "Cannot read from %1: device disconnected.";
export const PORT_UNPLUGGED_WRITE = "Cannot write to %1: device disconnected.";
export const PORT_BAD_SETTINGS = "Cannot use %1: unknown settings %2.";

// What a transfer says in the status bar.
export const SAID_DOWNLOADED = "Downloaded to %1";
export const SAID_DOWNLOAD_CANCELLED = "Download to %1 cancelled";
export const SAID_DOWNLOAD_FAILED = "Download to %1 failed";
export const SAID_UPLOADED = "Uploaded from %1";
export const SAID_UPLOAD_FAILED = "Upload from %1 failed";
