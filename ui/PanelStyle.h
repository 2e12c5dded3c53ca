// The look shared by the panel's windows.
#pragma once

#include <QColor>
#include <QFont>
#include <QPixmap>

namespace ui {

// A sans-serif 8-point font close in width to the one the panel was laid out for; the
// installed fallback keeps the same size.
QFont PanelFont();

// The program's picture: a sheet of round labels, drawn rather than shipped as a file.
QPixmap ProgramPicture(int size);

// Gives the grid's empty area and its rows without an entry the colour.
void SetGridColor(QWidget* grid, const QColor& color);

}  // namespace ui
