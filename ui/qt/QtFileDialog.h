// The open and save dialogs of the window host: the platform's file dialog
// set up from a CFileDialogRequest.
#pragma once

#include "ui/WindowHost.h"

#include <QStringList>

#include <memory>
#include <vector>

class QFileDialog;
class QWidget;

// The filters in Qt's form, "Description (pattern pattern)". A description's
// own trailing "(...)" gives way to the patterns; "*.*", which means every
// file where extensions are part of the system, becomes "*" so that files
// without an extension are listed too.
QStringList QtNameFilters(const std::vector<CFileFilter>& filters);

// An open or save dialog for `request`, not yet shown: its title, mode,
// filters (the first selected), default suffix, initial name and the
// overwrite question.
std::unique_ptr<QFileDialog> BuildFileDialog(const CFileDialogRequest& request, QWidget* parent);
