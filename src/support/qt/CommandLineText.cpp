#include "support/qt/CommandLineText.h"

namespace tonedesk {

QStringList ArgumentList(int argc, char** argv) {
    QStringList arguments;
    arguments.reserve(argc);
    for (int i = 0; i < argc; ++i) {
        arguments.append(QString::fromLocal8Bit(argv[i]));
    }
    return arguments;
}

std::string HelpText(const QCommandLineParser& parser, const QString& usage) {
    QString text = parser.helpText();
    const qsizetype endOfLine = text.indexOf(u'\n');
    text.replace(0, endOfLine < 0 ? text.size() : endOfLine, QStringLiteral("Usage: ") + usage);
    return text.toStdString();
}

std::string ParseErrorText(const QCommandLineParser& parser) {
    const QStringList unknown = parser.unknownOptionNames();
    if (!unknown.isEmpty()) {
        const QString& name = unknown.constFirst();
        return "unknown option " + std::string(name.size() == 1 ? "-" : "--") + name.toStdString();
    }
    QString text = parser.errorText();
    if (text.endsWith(u'.')) {
        text.chop(1);
    }
    if (!text.isEmpty()) {
        text[0] = text[0].toLower();
    }
    return text.toStdString();
}

} // namespace tonedesk
