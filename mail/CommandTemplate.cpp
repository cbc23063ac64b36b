// Splitting and filling the external tools' command templates.

#include "mail/CommandTemplate.h"

#include <QProcess>
#include <QRegularExpression>

namespace mail {
namespace {

// One argument as pieces: template text, where tokens are looked for, and filled-in values.
struct Piece {
    QString text;
    bool value = false;
};

} // namespace

QStringList SplitCommandTemplate(const QString& commandTemplate)
{
    return QProcess::splitCommand(commandTemplate);
}

QStringList FillCommandTemplate(const QString& commandTemplate, const TemplateTokens& tokens, QString* optionLike)
{
    static const QRegularExpression kLineBreaks(QStringLiteral("[\\r\\n]+"));
    std::vector<std::vector<Piece>> arguments;
    for (const QString& argument : SplitCommandTemplate(commandTemplate))
        arguments.push_back({Piece{argument}});

    for (const auto& [token, value] : tokens) {
        bool replaced = false;
        for (auto& pieces : arguments) {
            for (std::size_t i = 0; i < pieces.size() && !replaced; ++i) {
                if (pieces[i].value)
                    continue;
                const qsizetype at = pieces[i].text.indexOf(token);
                if (at < 0)
                    continue;
                const QString before = pieces[i].text.left(at);
                const QString after = pieces[i].text.mid(at + token.size());
                pieces[i] = Piece{before};
                pieces.insert(pieces.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                              {Piece{QString(value).replace(kLineBreaks, QStringLiteral(" ")), true}, Piece{after}});
                replaced = true;
            }
            if (replaced)
                break;
        }
    }

    QStringList filled;
    bool optionsEnded = false; // by an argument "--" of the template's own
    for (std::size_t index = 0; index < arguments.size(); ++index) {
        const std::vector<Piece>& pieces = arguments[index];
        QString argument;
        const Piece* first = nullptr; // the piece the argument begins with
        for (const Piece& piece : pieces) {
            if (first == nullptr && !piece.text.isEmpty())
                first = &piece;
            argument += piece.text;
        }
        // The first argument is the program, not an option.
        if (index > 0 && !optionsEnded && first != nullptr && first->value &&
            first->text.startsWith(QLatin1Char('-')) && optionLike != nullptr && optionLike->isEmpty())
            *optionLike = first->text;
        if (index > 0 && pieces.size() == 1 && argument == QLatin1String("--"))
            optionsEnded = true;
        filled << argument;
    }
    return filled;
}

QString CommandLineText(const QStringList& arguments)
{
    QStringList quoted;
    for (const QString& argument : arguments) {
        const bool plain =
            !argument.isEmpty() && !argument.contains(QLatin1Char(' ')) && !argument.contains(QLatin1Char('"'));
        quoted << (plain
                       ? argument
                       : QLatin1Char('"') + QString(argument).replace(QStringLiteral("\""), QStringLiteral("\"\"\"")) +
                           QLatin1Char('"'));
    }
    return quoted.join(QLatin1Char(' '));
}

} // namespace mail
