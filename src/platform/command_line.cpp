#include "platform/command_line.h"

#include <QCommandLineParser>
#include <QStringList>

namespace {
void AddOptions(QCommandLineParser& parser, const std::vector<CommandLineOption>& options) {
    // "-threads" is not "-t -h -r ...": single-dash words are long options as well.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
    for (const CommandLineOption& option : options) {
        parser.addOption(QCommandLineOption(QStringList{QString::fromStdString(option.name)},
                                            QString::fromStdString(option.description),
                                            QString::fromStdString(option.valueName)));
    }
}
}  // namespace

ParsedCommandLine ParseCommandLine(int argc, char** argv, const std::vector<CommandLineOption>& options) {
    QCommandLineParser parser;
    AddOptions(parser, options);
    QStringList arguments;
    for (int i = 0; i < argc && argv != nullptr && argv[i] != nullptr; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    if (arguments.isEmpty()) arguments << "ferrox";
    ParsedCommandLine parsed;
    parsed.ok = parser.parse(arguments);
    if (!parsed.ok) {
        parsed.error = parser.errorText().toStdString();
        return parsed;
    }
    for (const QString& name : parser.optionNames()) parsed.given.push_back(name.toStdString());
    for (const CommandLineOption& option : options) {
        if (option.valueName.empty()) continue;
        for (const QString& value : parser.values(QString::fromStdString(option.name)))
            parsed.values[option.name].push_back(value.toStdString());
    }
    for (const QString& argument : parser.positionalArguments()) parsed.arguments.push_back(argument.toStdString());
    return parsed;
}

std::string CommandLineHelp(const std::string& program, const std::string& description,
                            const std::vector<CommandLineOption>& options) {
    QCommandLineParser parser;
    AddOptions(parser, options);
    parser.setApplicationDescription(QString::fromStdString(description));
    return parser.helpText().replace("<executable_name>", QString::fromStdString(program)).toStdString();
}
