#pragma once
// What GetDataConnection does when the file cannot be reached.

enum class RetryMode {
    None = 0,    // raise database_unavailable at once
    Offline = 1, // the main window shows the offline state; the retry dialog stays hidden with it
    Prompt = 2,  // the retry dialog flashes the main window
};
