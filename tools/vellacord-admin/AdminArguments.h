#pragma once
// The command line of vellacord-admin: the command, its options and its help, read with
// QCommandLineParser as other command-line tools read theirs (--opt=value, --, --help per command).

#include "AdminCommands.h"

#include <QString>
#include <QStringList>

struct AdminArguments {
    enum class Outcome {
        Run,        // `options` holds the command
        Help,       // `text` is the help to print on the standard output
        Version,    // `text` is the version line
        UsageError, // `text` is the one-line error, `hint` where the usage is
    };
    Outcome outcome = Outcome::UsageError;
    AdminOptions options;
    QString text;
    QString hint;
};

// Reads the arguments after the program name.
AdminArguments ParseAdminArguments(const QStringList& arguments);

// The whole tool's usage, as --help prints it.
QString AdminUsage();
