#include "command.h"

#include <QCommandLineParser>
#include <QTextStream>

int lockctl::CommandSyntax::usageError(QTextStream& err, const QString& message) const
{
    failure(err, message);
    err << usageLine() << '\n';
    err.flush();
    return ExitUsage;
}

QString lockctl::CommandSyntax::usageLine() const
{
    const QString text = help();
    const QString hintPart = hint ? QLatin1String(hint) + QStringLiteral("; ") : QString();
    return text.left(text.indexOf(QLatin1String("\n\n"))).simplified()
           + QStringLiteral("   (%1see lockctl help %2)").arg(hintPart, QLatin1String(name));
}

int lockctl::CommandSyntax::failure(QTextStream& err, const QString& message) const
{
    err << "lockctl " << name << ": " << message << '\n';
    return ExitFailure;
}

int lockctl::CommandSyntax::writeHelp(QTextStream& out) const
{
    out << help();
    out.flush();
    return ExitOk;
}

bool lockctl::CommandSyntax::isHelpOption(const QString& arg)
{
    return arg == QLatin1String("-h") || arg == QLatin1String("--help");
}

std::optional<int> lockctl::CommandSyntax::parseOptions(QCommandLineParser& parser, const QStringList& args,
                                                        QTextStream& out, QTextStream& err) const
{
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption helpOption(QStringList{ QStringLiteral("h"), QStringLiteral("help") });
    parser.addOption(helpOption);
    if (!parser.parse(QStringList{ QStringLiteral("lockctl ") + QLatin1String(name) } + args))
        return usageError(err, parser.errorText());
    if (parser.isSet(helpOption))
        return writeHelp(out);
    if (!parser.positionalArguments().isEmpty())
        return usageError(err, QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first()));
    return std::nullopt;
}
