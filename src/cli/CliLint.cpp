#include "cli/CliCommands.h"

#include "model/ModelLint.h"
#include "support/ModelFolders.h"
#include "support/ResourceBundleCheck.h"

#include <QByteArray>
#include <QFile>
#include <QResource>
#include <QString>

#include <cstdio>

namespace tonedesk::cli {

namespace {

// Bundles opened with Qt's resource system, under a root of their own.
class QtBundleReader final : public BundleReader {
public:
    ~QtBundleReader() override { Close(); }

    bool Open(const std::string& path, std::string& problem) override {
        Close();
        // Read whole and checked before registering: the resource system trusts a bundle's
        // tree, and a damaged one would make it read outside the file.
        std::string bytes;
        if (const auto failed = ReadResourceBundle(path, bytes)) {
            problem = failed->reason;
            return false;
        }
        data_ = QByteArray::fromStdString(bytes);
        const QString root = QStringLiteral("/tonedesk-lint/%1").arg(++opened_);
        if (!QResource::registerResource(Data(), root)) {
            data_.clear();
            problem = "the resource system refused it";
            return false;
        }
        root_ = root;
        return true;
    }

    std::optional<std::string> Read(const std::string& name) override {
        if (root_.isEmpty()) {
            return std::nullopt;
        }
        QFile file(QLatin1Char(':') + root_ + QLatin1Char('/') + QString::fromStdString(name));
        if (!file.open(QIODevice::ReadOnly)) {
            return std::nullopt;
        }
        return file.readAll().toStdString();
    }

private:
    const uchar* Data() const { return reinterpret_cast<const uchar*>(data_.constData()); }

    void Close() {
        if (!root_.isEmpty()) {
            QResource::unregisterResource(Data(), root_);
            root_.clear();
            data_.clear();
        }
    }

    QByteArray data_; // the bundle's bytes, registered while it is open
    QString root_;
    int opened_ = 0;
};

} // namespace

// tonedesk-cli lint FILE...: what the model reader would ignore, misread or fail on, and what
// the tabs' forms lack, one line per problem; the files a model names are looked for beside it,
// then in the model folders, as the program does ("FILE:LINE: text"; whole-file problems without a
// line).
int RunLint(CliArgs& args, CliContext&) {
    const auto files = args.Positionals();
    if (files.empty()) {
        throw UsageError("lint takes one or more model files");
    }
    bool clean = true;
    QtBundleReader bundles;
    // A model's gamma files and bundles may also lie in the other model folder.
    const std::vector<std::string> folders = DefaultModelFolders().SearchOrder();
    for (const std::string& file : files) {
        for (const LintProblem& problem : LintModelFile(file, &bundles, folders)) {
            clean = false;
            if (problem.line > 0) {
                PrintOut("%s:%d: %s\n", file.c_str(), problem.line, problem.text.c_str());
            } else {
                PrintOut("%s: %s\n", file.c_str(), problem.text.c_str());
            }
        }
    }
    return clean ? kExitOk : kExitFailed;
}

} // namespace tonedesk::cli
