// The program's resources: the application icon, the string table and the
// addresses of the two link labels of the main dialog.
#pragma once

#include <QIcon>
#include <QString>
#include <optional>

inline constexpr int kIdrMainFrame = 128;      // the application icon, 32 x 32
inline constexpr int kIdsAboutEntry = 101;     // the about entry of the window menu

// The icon with this resource id; a null icon for an unknown id.
QIcon LoadIconResource(int id);
// The application icon drawn as a 32 x 32 picture.
QPixmap DrawApplicationIcon();

// The string with this resource id, if the table has one.
std::optional<QString> LoadStringResource(int id);

// The file the author's link (label 1032) opens: the installed user guide,
// else the README. The support link (label 1033) opens the README. Both are
// file addresses, so they work without a network. Looked up next to an
// installed program (../share/doc/zelk) first, then in the source tree the
// program was built from.
QString AuthorPageAddress();
QString SupportSiteAddress();

// The window caption of the main dialog and the credit line under it.
QString ApplicationDisplayName();
QString CreditLine();
