#pragma once
// Lets a test start its own test program again as a second workstation: the child runs one
// registered action and exits with its result.

#include <QProcess>
#include <QString>
#include <QStringList>

#include <functional>

using ChildAction = std::function<int(const QStringList& arguments)>;

// Registers an action under a name; use at namespace scope through REGISTER_CHILD_ACTION.
bool RegisterChildAction(const QString& name, ChildAction action);

// Runs the action named on the command line ("--child-action NAME ARGS...") and returns true
// with its exit code in `exitCode`; false when the command line asks for no action.
bool RunChildActionFromCommandLine(int argc, char** argv, int& exitCode);

// Starts this test program as a child running the action; the caller waits for or talks to it.
void StartChild(QProcess& process, const QString& action, const QStringList& arguments);

// Runs the action in a child and waits for it; returns its exit code (-1 when it did not finish).
int RunChild(const QString& action, const QStringList& arguments, int timeoutMs = 30000);

// In a child: tells the parent "ready" and waits until the parent writes a line or closes our input.
void SignalReadyAndWaitForStop();

#define REGISTER_CHILD_ACTION(name, function)                                                                          \
    static const bool childActionRegistered_##function = RegisterChildAction(QStringLiteral(name), function)
