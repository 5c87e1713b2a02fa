#pragma once

#include <QByteArray>
#include <QDialog>
#include <QIcon>
#include <QPixmap>
#include <QString>
#include <QWidget>

#include <map>
#include <memory>

namespace tonedesk {

// One resource bundle: a binary Qt resource file (.rcc) registered under a root of its own, or
// resources compiled into the program. It holds Designer forms (dialogs/N.ui), the string table
// (strings.txt), bitmaps (bitmaps/N.bmp or .png) and icons (icons/N.png).
class ResourceBundle {
public:
    // Reads and registers the bundle file; IsLoaded() tells whether that worked (a file that is
    // not a regular file, or whose structure is damaged, is refused).
    explicit ResourceBundle(const QString& file);
    // Resources already present under `root` (for example ":/program"); nothing is registered.
    static std::unique_ptr<ResourceBundle> Embedded(const QString& root);
    ~ResourceBundle();

    ResourceBundle(const ResourceBundle&) = delete;
    ResourceBundle& operator=(const ResourceBundle&) = delete;

    bool IsLoaded() const { return loaded_; }
    // Why the bundle file could not be used ("No such file or directory", "not a valid resource
    // bundle: ..."); empty when it is loaded.
    const QString& Failure() const { return failure_; }
    // The bundle's root in the resource system, such as ":/bundles/1".
    const QString& Root() const { return root_; }
    const QString& FileName() const { return file_; }

    // The text of string id; empty when the table has no such id.
    QString String(int id) const;
    bool HasString(int id) const;
    // A new widget built from form id, or null when the bundle has no such form.
    QWidget* LoadForm(int id, QWidget* parent = nullptr) const;
    // The raw bytes of bitmap id (a .bmp file or a .png), empty when there is none.
    QByteArray BitmapData(int id) const;
    // Bitmap id as a pixmap; null when there is none.
    QPixmap Bitmap(int id) const;
    // Icon id; null when there is none.
    QIcon Icon(int id) const;

private:
    ResourceBundle() = default;
    const uchar* Data() const { return reinterpret_cast<const uchar*>(data_.constData()); }

    QString file_;
    QString failure_;
    QByteArray data_; // the bundle file's bytes, registered while the bundle lives
    QString root_;
    bool loaded_ = false;
    bool registered_ = false;
    mutable bool stringsRead_ = false;
    mutable std::map<int, QString> strings_;
};

// The string table's text format: one entry a line, the id, a TAB and the text, in which "\t",
// "\n" and "\\" stand for a TAB, a line break and a backslash. Empty lines, lines beginning with
// "#" and lines without a number and a TAB are skipped; the last entry of an id wins.
std::map<int, QString> ParseStringTable(const QByteArray& text);

// Fills the single printf-style placeholder of a message text (%s, or %d for a number given as
// text) with `argument`; "%%" gives "%". Other directives stay as they are, and the text is never
// handed to a printf function.
QString FormatMessageText(const QString& format, const QString& argument);

// The current bundle: where the program looks up forms, strings and bitmaps. Not owned.
void SetCurrentBundle(const ResourceBundle* bundle);
const ResourceBundle* CurrentBundle();

// Lookups in the current bundle; empty or null when there is none.
QString LoadString(int id);
QWidget* LoadForm(int id, QWidget* parent = nullptr);
QPixmap LoadBitmap(int id);
QIcon LoadIcon(int id);

// Fills `dialog` with form id of the current bundle: the form becomes its content, gives its
// title and size, and its buttons 1 and 2 (OK and Cancel) end the dialog. The form, or null when
// the bundle has none (the dialog is then left empty).
QWidget* BuildDialogFromForm(QDialog& dialog, int id);

// Controls of a form are named "id<N>" after their control id.
QString ControlName(int id);
// The control id of a widget named "id<N>", or -1.
int ControlId(const QObject* control);
// The control id within `form`, or null.
QWidget* FindControl(const QWidget* form, int id);
template <typename T> T* FindControl(const QWidget* form, int id) {
    return qobject_cast<T*>(FindControl(form, id));
}

} // namespace tonedesk
