// The guards that report a failure nobody handled: at start-up, around a handler, around the message loop.

#include "base/Guards.h"

#include "base/ErrorReport.h"
#include "base/Result.h"
#include "base/StringTable.h"
#include "base/UserInterface.h"

#include <exception>

namespace {

void ShowPlain(const QString& text)
{
    ShowTextMessage(TheUserInterface(), text, Buttons::Ok);
}

void DumpAndReport(const QString& text, bool crashing)
{
    WriteErrorDump(text, crashing);
    ReportFailure(text, ReportStyle::Error);
}

} // namespace

bool RunStartupGuard(const std::function<bool()>& body)
{
    try {
        return body();
    } catch (const CResult<int>&) {
        ShowPlain(QStringLiteral("Operation failed - ") + ErrorContextText(true));
    } catch (const CResult<long>& result) {
        ShowOleDbErrors(TheUserInterface(), result.value, result.records,
                        QStringLiteral("operation could not be completed. exiting now."));
    } catch (const std::exception& e) {
        ReportFailure(QString::fromUtf8(e.what()), ReportStyle::Error);
    } catch (...) {
        ShowPlain(QStringLiteral("unspecified exception caught in CDeflApp::InitInstance"));
    }
    return false;
}

bool RunGuardedHandler(const std::function<void()>& handler)
{
    try {
        handler();
        return true;
    } catch (const CResult<int>& result) {
        const QString lastError = HexCode(result.lastError);
        ShowPlain(QStringLiteral("GetLastError returned %1\r\n%2").arg(lastError, ErrorContextText(true)));
    } catch (const CResult<long>& result) {
        ShowOleDbErrors(TheUserInterface(), result.value, result.records,
                        QStringLiteral("exception raised:\r\n") + ErrorContextText(true));
    } catch (const std::exception& e) {
        ShowPlain(QStringLiteral("exception raised:\r\n") + DescribeError(QString::fromUtf8(e.what())));
    }
    return false;
}

int RunGuard::Run()
{
    for (;;) {
        try {
            const int exitCode = loop_.run();
            state_ = State::Done;
            return exitCode;
        } catch (const CResult<long>& result) {
            Report(QStringLiteral("Exception caught: CHResult error code: ") + HexCode(result.value), false);
        } catch (const CResult<int>& result) {
            Report(QStringLiteral("Exception caught: CBResult error code: ") + HexCode(result.value), false);
        } catch (const CResult<unsigned>& result) {
            // Only a timer that could not be started throws this one.
            Report(QStringLiteral("Exception caught: timer result error code: ") + HexCode(result.value), false);
        } catch (const std::exception& e) {
            Report(QString::fromUtf8(e.what()), false);
        } catch (...) {
            Report(QStringLiteral("unspecified exception"), true);
            throw;
        }
        Continue();
    }
}

void RunGuard::Report(const QString& text, bool crashing)
{
    // A retry dialog of a refresh timer or of the close itself would keep the program running
    // after it said that it closes.
    if (state_ == State::Running && loop_.stopWaitingForFile)
        loop_.stopWaitingForFile();
    DumpAndReport(text, crashing);
}

void RunGuard::Continue()
{
    switch (state_) {
    case State::Running: {
        state_ = State::Closing;
        MessageRequest request;
        request.text = LoadString(153);
        request.stringId = 153;
        request.foreground = true;
        TheUserInterface().ShowMessage(request);
        if (loop_.hasMainWindow())
            loop_.destroyMainWindow();
        break;
    }
    case State::Closing:
        state_ = State::Quitting;
        loop_.postQuit(1);
        break;
    case State::Quitting:
    case State::Done:
        break;
    }
}
