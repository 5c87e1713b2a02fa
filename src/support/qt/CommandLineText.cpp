#include "support/qt/CommandLineText.h"

namespace tonedesk {

QStringList ArgumentList(int argc, char** argv) {
    QStringList arguments;
    arguments.reserve(argc);
    for (int i = 0; i < argc; ++i) {
        arguments.append(QString::fromLatin1(argv[i]));
    }
    return arguments;
}

std::string ArgumentText(const QString& word) {
    return word.toLatin1().toStdString();
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
        return "unknown option " + std::string(name.size() == 1 ? "-" : "--") + ArgumentText(name);
    }
    QString text = parser.errorText();
    if (text.endsWith(u'.')) {
        text.chop(1);
    }
    if (!text.isEmpty()) {
        text[0] = text[0].toLower();
    }
    return ArgumentText(text);
}

} // namespace tonedesk
