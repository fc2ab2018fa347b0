#pragma once
#include <QString>

// The update checks and the updater launch. Their messages go through IUpdatePrompt, which
// the window layer fills (over the mini window in mini mode, else the main window).

class IUpdatePrompt {
public:
    // A notice with an OK button.
    virtual void Notice(const QString& text, const QString& title) = 0;
    // A Yes/No question; true for Yes.
    virtual bool AskYesNo(const QString& text, const QString& title) = 0;
    // A declined mandatory update: run the normal shutdown, then end the process with code 0.
    virtual void EndAfterDeclinedUpdate() = 0;
    // Version `latest` is offered (told before the question), to be kept among the messages.
    virtual void UpdateOffered(const QString& latest) { (void)latest; }

protected:
    virtual ~IUpdatePrompt() = default;
};
// Installed at start-up; called on the checks' worker threads. Without one every question is
// answered No and notices go nowhere.
void SetUpdatePrompt(IUpdatePrompt* prompt);

// Task 19, once after start-up: silent unless there is an update to offer.
// 1 answered, 0 failed or nothing to do, -1 a reply without root.
int CheckUpdateSilently();
// Task 11, asked for by the user: tells the user every outcome.
int CheckUpdateOnDemand();

// Starts "update" in the program folder with "parity|<latest>|<address>" and the program
// folder as working folder — unless the update counter is between 1 and 5, which only counts
// up. Nothing happens when the updater is missing. True when it was started.
bool LaunchUpdater(const QString& latestVersion, const QString& packageAddress);

// Start-up: true once after an installation or update (the counter is 0), and the counter
// becomes 1; the window layer then shows its update-success window.
bool TakeUpdateSuccess();
// Message 1592: the counter becomes 1.
void MarkUpdateSeen();
