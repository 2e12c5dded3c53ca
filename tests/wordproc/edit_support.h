// Shared pieces of the editing tests: a visible word processor whose documents show in windows,
// and the mouse and keyboard of a person working in them, sent as events.
#pragma once

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMainWindow>
#include <QMouseEvent>
#include <cmath>
#include <sstream>
#include <string>

#include "tests/wordproc/om_support.h"
#include "wordproc/DocumentHost.h"
#include "wordproc/EditCanvas.h"

namespace edit_test {

using om_test::Variant;

inline void SendMouse(QWidget* widget, QEvent::Type type, QPointF at,
                      Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  const bool release = type == QEvent::MouseButtonRelease;
  const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
  QMouseEvent event(type, at, widget->mapToGlobal(at), button,
                    release ? Qt::NoButton : Qt::LeftButton, modifiers);
  QApplication::sendEvent(widget, &event);
}

inline void Click(QWidget* widget, QPointF at, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  SendMouse(widget, QEvent::MouseButtonPress, at, modifiers);
  SendMouse(widget, QEvent::MouseButtonRelease, at, modifiers);
}

inline void DoubleClick(QWidget* widget, QPointF at) {
  Click(widget, at);
  SendMouse(widget, QEvent::MouseButtonDblClick, at);
  SendMouse(widget, QEvent::MouseButtonRelease, at);
}

inline void Drag(QWidget* widget, QPointF from, QPointF to,
                 Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  SendMouse(widget, QEvent::MouseButtonPress, from, modifiers);
  SendMouse(widget, QEvent::MouseMove, (from + to) / 2, modifiers);
  SendMouse(widget, QEvent::MouseMove, to, modifiers);
  SendMouse(widget, QEvent::MouseButtonRelease, to, modifiers);
}

inline void Key(QWidget* widget, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
                const QString& text = {}) {
  QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
  QApplication::sendEvent(widget, &press);
  QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
  QApplication::sendEvent(widget, &release);
}

inline void Type(QWidget* widget, const QString& text) {
  for (QChar c : text) Key(widget, c.toUpper().unicode(), Qt::NoModifier, QString(c));
}

// Everything an edit can touch, as text, so that states compare exactly.
inline void DumpFormat(std::ostream& out, const wordproc::RunFormat& f) {
  out << f.fontFamily << ' ' << f.fontSize << ' ' << f.bold << f.italic << ' ' << f.color;
}

inline void DumpParagraph(std::ostream& out, const wordproc::Paragraph& p) {
  out << "  p" << p.id << " align " << int(p.alignment) << " space " << p.spaceBefore << ' '
      << p.spaceAfter << " mark ";
  DumpFormat(out, p.markFormat);
  for (const auto& run : p.runs) {
    out << " [" << run.text << '|';
    DumpFormat(out, run.format);
    out << ']';
  }
  for (const auto& picture : p.inlinePictures)
    out << " pic" << picture.id << '@' << picture.afterRun;
  out << '\n';
}

inline void DumpShape(std::ostream& out, const wordproc::Shape& s, int depth) {
  out << std::string(depth * 2, ' ') << s.id << " '" << s.name << "' " << int(s.kind) << '/'
      << int(s.autoShapeType) << " vis " << s.visible << " box " << s.left << ' ' << s.top << ' '
      << s.width << ' ' << s.height << " ref " << int(s.relH) << int(s.relV) << " flip " << s.flipH
      << s.flipV << " line " << s.line.visible << ' ' << s.line.weight << ' ' << int(s.line.dash)
      << ' ' << s.line.color << " fill " << s.fill.visible << ' ' << s.fill.color << " image "
      << s.image.get() << '\n';
  for (const auto& p : s.text) DumpParagraph(out, p);
  for (const auto& child : s.children) DumpShape(out, *child, depth + 1);
}

inline std::string Dump(const wordproc::Document& doc) {
  std::ostringstream out;
  out.precision(9);
  const auto& page = doc.pageSetup;
  out << "page " << page.pageWidth << ' ' << page.pageHeight << ' ' << page.topMargin << ' '
      << page.bottomMargin << ' ' << page.leftMargin << ' ' << page.rightMargin << '\n';
  for (const auto& p : doc.paragraphs) DumpParagraph(out, p);
  for (const auto& anchored : doc.shapes) {
    out << "anchor " << anchored.anchorParagraph << '\n';
    DumpShape(out, *anchored.shape, 1);
  }
  return out.str();
}

// Millimetres in points.
inline double Mm(double mm) {
  return mm * 72 / 25.4;
}

class EditTest : public om_test::OmTest {
 protected:
  void SetUp() override {
    OmTest::SetUp();
    om_test::EnsureGui();
    word = om_test::NewWord();
    word.put("Visible", true);
    events = std::make_shared<om_test::Recorder>();
    word.toObject()->advise(kApplicationEvents, events);
  }
  void TearDown() override {
    word.call("Quit", 0);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    OmTest::TearDown();
  }

  Variant AddDocument() { return word.get("Documents").call("Add"); }

  static const wordproc::Document& Model(const Variant& doc) {
    return dynamic_cast<wordproc::DocumentHost&>(*doc.toObject()).document();
  }

  // The visible window showing the document, found by its title.
  static QMainWindow* Window(const Variant& doc) {
    const QString title = QString::fromStdString(doc.get("Name").toString());
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      auto* main = qobject_cast<QMainWindow*>(widget);
      if (main && main->isVisible() && main->windowTitle() == title) return main;
    }
    return nullptr;
  }

  static wordproc::EditCanvas* Canvas(const Variant& doc) {
    QMainWindow* window = Window(doc);
    return window ? window->findChild<wordproc::EditCanvas*>() : nullptr;
  }

  static void Trigger(const Variant& doc, const char* name) {
    QAction* action = Window(doc)->findChild<QAction*>(name);
    ASSERT_NE(action, nullptr) << name;
    action->trigger();
  }

  // A point of page 1, in points, on the window's pages.
  static QPointF At(const Variant& doc, double x, double y, int page = 1) {
    return Canvas(doc)->toWidget(page, QPointF(x, y));
  }

  // Pixels per point at the window's zoom, across and down: pages are whole pixels in size.
  static double Scale(const Variant& doc) {
    return (At(doc, 100, 0).x() - At(doc, 0, 0).x()) / 100;
  }
  static double ScaleDown(const Variant& doc) {
    return (At(doc, 0, 100).y() - At(doc, 0, 0).y()) / 100;
  }

  void SetSnap(const Variant& doc, bool on) {
    if (Canvas(doc)->snapToGrid() != on) Trigger(doc, "actionSnapToGrid");
  }

  static constexpr const char* kApplicationEvents = "{000209FE-0000-0000-C000-000000000046}";
  static constexpr int kBeforePrint = 7;
  static constexpr int kBeforeSave = 8;

  Variant word;
  std::shared_ptr<om_test::Recorder> events;
};

}  // namespace edit_test
