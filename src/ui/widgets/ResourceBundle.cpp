#include "ui/widgets/ResourceBundle.h"

#include "support/ResourceBundleCheck.h"

#include <QAbstractButton>
#include <QFile>
#include <QResource>
#include <QUiLoader>
#include <QVBoxLayout>

#include <atomic>

namespace tonedesk {

namespace {

const ResourceBundle* g_current = nullptr;
std::atomic<int> g_nextRoot{1};

QString Unescape(QStringView text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\\' && i + 1 < text.size()) {
            const QChar n = text[i + 1];
            if (n == u't') {
                out += u'\t';
                ++i;
                continue;
            }
            if (n == u'n') {
                out += u'\n';
                ++i;
                continue;
            }
            if (n == u'\\') {
                out += u'\\';
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

} // namespace

ResourceBundle::ResourceBundle(const QString& file) : file_(file) {
    // Read here and registered as data: a pipe or a device in the bundle's place is refused
    // instead of waited on or read without end.
    std::string bytes;
    // The resource system reads the bundle's tree as it finds it: a damaged one would make it
    // read outside the data, so only a bundle whose structure holds is registered.
    if (const auto failed = ReadResourceBundle(QFile::encodeName(file).toStdString(), bytes)) {
        failure_ = QString::fromStdString(
            failed->unreadable ? failed->reason : "not a valid resource bundle: " + failed->reason);
        return;
    }
    data_ = QByteArray::fromStdString(bytes);
    const QString mapRoot = QStringLiteral("/bundles/%1").arg(g_nextRoot++);
    if (QResource::registerResource(Data(), mapRoot)) {
        registered_ = true;
        loaded_ = true;
        root_ = QLatin1Char(':') + mapRoot;
    } else {
        failure_ = QStringLiteral("not a valid resource bundle");
    }
}

std::unique_ptr<ResourceBundle> ResourceBundle::Embedded(const QString& root) {
    std::unique_ptr<ResourceBundle> bundle(new ResourceBundle());
    bundle->root_ = root;
    bundle->loaded_ = QFile::exists(root + QStringLiteral("/strings.txt"));
    return bundle;
}

ResourceBundle::~ResourceBundle() {
    if (g_current == this) {
        g_current = nullptr;
    }
    if (registered_) {
        QResource::unregisterResource(Data(), root_.mid(1));
    }
}

bool ResourceBundle::HasString(int id) const {
    if (!stringsRead_) {
        stringsRead_ = true;
        QFile f(root_ + QStringLiteral("/strings.txt"));
        if (loaded_ && f.open(QIODevice::ReadOnly)) {
            strings_ = ParseStringTable(f.readAll());
        }
    }
    return strings_.count(id) != 0;
}

QString ResourceBundle::String(int id) const {
    return HasString(id) ? strings_.at(id) : QString();
}

QWidget* ResourceBundle::LoadForm(int id, QWidget* parent) const {
    if (!loaded_) {
        return nullptr;
    }
    QFile f(root_ + QStringLiteral("/dialogs/%1.ui").arg(id));
    if (!f.open(QIODevice::ReadOnly)) {
        return nullptr;
    }
    QUiLoader loader;
    return loader.load(&f, parent);
}

QByteArray ResourceBundle::BitmapData(int id) const {
    if (!loaded_) {
        return {};
    }
    for (const char* ext : {"bmp", "png"}) {
        QFile f(root_ + QStringLiteral("/bitmaps/%1.%2").arg(id).arg(QLatin1String(ext)));
        if (f.open(QIODevice::ReadOnly)) {
            return f.readAll();
        }
    }
    return {};
}

QPixmap ResourceBundle::Bitmap(int id) const {
    const QByteArray data = BitmapData(id);
    QPixmap pixmap;
    if (!data.isEmpty()) {
        pixmap.loadFromData(data);
    }
    return pixmap;
}

QIcon ResourceBundle::Icon(int id) const {
    const QString path = root_ + QStringLiteral("/icons/%1.png").arg(id);
    if (!loaded_ || !QFile::exists(path)) {
        return {};
    }
    return QIcon(path);
}

std::map<int, QString> ParseStringTable(const QByteArray& text) {
    std::map<int, QString> table;
    const QString all = QString::fromUtf8(text);
    for (QStringView line : QStringView(all).split(u'\n')) {
        if (line.endsWith(u'\r')) {
            line.chop(1);
        }
        if (line.isEmpty() || line.startsWith(u'#')) {
            continue;
        }
        const qsizetype tab = line.indexOf(u'\t');
        if (tab <= 0) {
            continue;
        }
        bool ok = false;
        const int id = line.left(tab).toInt(&ok);
        if (!ok) {
            continue;
        }
        table[id] = Unescape(line.mid(tab + 1));
    }
    return table;
}

QString FormatMessageText(const QString& format, const QString& argument) {
    QString out;
    out.reserve(format.size() + argument.size());
    bool filled = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format[i];
        if (c != u'%' || i + 1 >= format.size()) {
            out += c;
            continue;
        }
        const QChar n = format[i + 1];
        if (n == u'%') {
            out += u'%';
            ++i;
        } else if ((n == u's' || n == u'd') && !filled) {
            out += argument;
            filled = true;
            ++i;
        } else {
            out += c;
        }
    }
    return out;
}

void SetCurrentBundle(const ResourceBundle* bundle) {
    g_current = bundle;
}

const ResourceBundle* CurrentBundle() {
    return g_current;
}

QString LoadString(int id) {
    return g_current ? g_current->String(id) : QString();
}

QWidget* LoadForm(int id, QWidget* parent) {
    return g_current ? g_current->LoadForm(id, parent) : nullptr;
}

QPixmap LoadBitmap(int id) {
    return g_current ? g_current->Bitmap(id) : QPixmap();
}

QIcon LoadIcon(int id) {
    return g_current ? g_current->Icon(id) : QIcon();
}

QWidget* BuildDialogFromForm(QDialog& dialog, int id) {
    QWidget* form = LoadForm(id, &dialog);
    if (!form) {
        return nullptr;
    }
    auto* layout = new QVBoxLayout(&dialog);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(form);
    dialog.setWindowTitle(form->windowTitle());
    dialog.resize(form->size());
    if (auto* ok = FindControl<QAbstractButton>(form, 1)) {
        QObject::connect(ok, &QAbstractButton::clicked, &dialog, &QDialog::accept);
    }
    if (auto* cancel = FindControl<QAbstractButton>(form, 2)) {
        QObject::connect(cancel, &QAbstractButton::clicked, &dialog, &QDialog::reject);
    }
    return form;
}

QString ControlName(int id) {
    return QStringLiteral("id%1").arg(id);
}

int ControlId(const QObject* control) {
    if (!control) {
        return -1;
    }
    const QString name = control->objectName();
    if (!name.startsWith(QStringLiteral("id"))) {
        return -1;
    }
    bool ok = false;
    const int id = name.mid(2).toInt(&ok);
    return ok ? id : -1;
}

QWidget* FindControl(const QWidget* form, int id) {
    if (!form) {
        return nullptr;
    }
    if (ControlId(form) == id) {
        return const_cast<QWidget*>(form);
    }
    return form->findChild<QWidget*>(ControlName(id));
}

} // namespace tonedesk
