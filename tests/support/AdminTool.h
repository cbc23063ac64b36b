#pragma once
// Runs the built vellacord-admin as a separate process, as a shell would, for the tests that kill it.

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// The tool beside the test programs' folder.
QString AdminToolPath();

struct AdminRun {
    int exitCode = -1; // -1: killed or hung
    QString out;
    QString err;
};

// The tool run to its end (at most two minutes) with `arguments`, in `environment` and
// `workingDirectory` when given, reading `input` and then the end of its standard input.
AdminRun RunAdminTool(const QStringList& arguments, const QProcessEnvironment& environment = {},
                      const QByteArray& input = {}, const QString& workingDirectory = {});

// The environment that preloads the kill shim at `shim` into the tool (a sanitized build's runtime
// is then allowed not to come first; the shim only wraps a few calls).
QProcessEnvironment KillShimEnvironment(const QString& shim);

// `environment` with the shim told to kill the tool at its `operation`-th file operation, just
// before it or just after it.
QProcessEnvironment KillingAt(QProcessEnvironment environment, int operation, bool after);
