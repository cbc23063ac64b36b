#pragma once
// What later parts of the document plug in: the current defect, the current view and the
// document's timers. An empty member means that part does nothing yet.

#include <cstdint>
#include <functional>
#include <type_traits>

struct DefectRecord;

struct DocumentSeams {
    // The current view has column changes that were not saved; and saving them.
    std::function<bool()> viewHasUnsavedChanges;
    std::function<void()> saveView;
    // Saves the current defect at close; false refuses the close.
    std::function<bool()> saveCurrentDefect;
    // Selects the defect the last session ended on (saving pending changes of the current one).
    std::function<void(std::int32_t defectId)> selectDefect;
    // Forgets the current record's rowset while keeping its contents (going offline).
    std::function<void()> releaseRecord;
    // The document closes: the known unread entries are forgotten.
    std::function<void()> forgetOnClose;
    // The list editor; it reloads the lookup lists itself.
    std::function<void()> runListEditor;

    // After a save: the pair enters the known unread set; the notification mail goes out.
    std::function<void(std::int32_t defectId, double modified)> addKnownUnread;
    std::function<void(const DefectRecord& record)> sendNotification;
    // Brings the main window to the front after a new defect was made.
    std::function<void()> bringMainWindowToFront;

    // The document's timers: both with their full periods, paused while waiting for the file,
    // the auto-close countdown restarted by each request for the connection, and forgotten.
    std::function<void()> startTimers;
    std::function<void()> pauseTimers;
    std::function<void()> resumeTimers;
    std::function<void()> restartAutoClose;
    std::function<void()> clearTimers;
};

// Calls a seam when something is plugged in; the seam alone decides the argument types.
template <typename... Args>
void CallSeam(const std::function<void(Args...)>& seam, std::type_identity_t<Args>... args)
{
    if (seam)
        seam(args...);
}
