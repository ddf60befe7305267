#include "platform/command_line.h"

#include <QCommandLineParser>
#include <QStringList>

namespace {
void AddOptions(QCommandLineParser& parser, const std::vector<CommandLineOption>& options) {
    // "-threads" is not "-t -h -r ...": single-dash words are long options as well.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
    for (const CommandLineOption& option : options) {
        QStringList names{QString::fromStdString(option.name)};
        if (!option.shortName.empty()) names.prepend(QString::fromStdString(option.shortName));
        parser.addOption(QCommandLineOption(names,
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
    for (const QString& name : parser.optionNames()) {
        std::string given = name.toStdString();
        for (const CommandLineOption& option : options)
            if (!option.shortName.empty() && option.shortName == given) given = option.name;
        parsed.given.push_back(given);
    }
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
