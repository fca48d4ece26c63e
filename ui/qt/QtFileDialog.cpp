#include "ui/qt/QtFileDialog.h"

#include "ui/qt/QtDialogUnits.h"

#include <QFileDialog>

namespace {

// The titles the platform's own dialogs have in the window's language.
constexpr const char* kOpenTitle = "ファイルを開く";
constexpr const char* kSaveTitle = "名前を付けて保存";

QString WithoutTrailingPatterns(const QString& description) {
    QString text = description.trimmed();
    if (text.endsWith(QLatin1Char(')'))) {
        const qsizetype open = text.lastIndexOf(QLatin1Char('('));
        if (open > 0) {
            text = text.left(open).trimmed();
        }
    }
    return text;
}

} // namespace

QStringList QtNameFilters(const std::vector<CFileFilter>& filters) {
    QStringList result;
    for (const CFileFilter& filter : filters) {
        QStringList patterns;
        for (const std::string& pattern : filter.Patterns) {
            const QString qt = pattern == "*.*" ? QStringLiteral("*") : ToQString(pattern);
            if (!patterns.contains(qt)) {
                patterns << qt;
            }
        }
        QString description = WithoutTrailingPatterns(ToQString(filter.Description));
        if (description.isEmpty()) {
            description = patterns.join(QLatin1Char(' '));
        }
        result << description + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    return result;
}

std::unique_ptr<QFileDialog> BuildFileDialog(const CFileDialogRequest& request, QWidget* parent) {
    auto dialog = std::make_unique<QFileDialog>(parent);
    dialog->setWindowTitle(ToQString(request.Save ? kSaveTitle : kOpenTitle));
    dialog->setAcceptMode(request.Save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    if (request.Save) {
        dialog->setFileMode(QFileDialog::AnyFile);
    } else {
        dialog->setFileMode((request.Options & kFileMustExist) != 0 ? QFileDialog::ExistingFile
                                                                    : QFileDialog::AnyFile);
    }
    dialog->setOption(QFileDialog::DontConfirmOverwrite, (request.Options & kFileOverwritePrompt) == 0);
    const QStringList filters = QtNameFilters(ParseFileFilter(request.Filter));
    if (!filters.isEmpty()) {
        dialog->setNameFilters(filters);
        dialog->selectNameFilter(filters.front());
    }
    if (!request.DefaultExt.empty()) {
        dialog->setDefaultSuffix(ToQString(request.DefaultExt));
    }
    if (!request.InitialName.empty()) {
        dialog->selectFile(ToQString(request.InitialName));
    }
    return dialog;
}
