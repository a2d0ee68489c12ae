#include "widgets/look.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QCheckBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QProxyStyle>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStyle>
#include <QStyleOption>
#include <QWidget>
#include <algorithm>

static void InitIconResource() { Q_INIT_RESOURCE(icon); }

namespace brintale {

QFont ArialBold(qreal points) {
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(points);
    font.setBold(true);
    return font;
}

QIcon ApplicationIcon() {
    static const bool registered = (InitIconResource(), true);
    (void)registered;
    return QIcon(QStringLiteral(":/brintale/brintale.png"));
}

void PaintBackground(QWidget* widget, const QColor& color) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, color);
    widget->setPalette(palette);
    widget->setBackgroundRole(QPalette::Window);
    widget->setAutoFillBackground(true);
}

void ApplyButtonFaceBackground(QWidget* window) {
    const QColor face = QGuiApplication::palette().color(QPalette::Button);
    PaintBackground(window, face);
    const QList<QWidget*> children = window->findChildren<QWidget*>();
    for (QWidget* child : children) {
        if (qobject_cast<QCheckBox*>(child) || qobject_cast<QRadioButton*>(child) ||
            qobject_cast<QGroupBox*>(child) || qobject_cast<QLabel*>(child))
            PaintBackground(child, face);
    }
}

void CenterOnScreen(QWidget* window) {
    QScreen* screen = window->screen();
    if (screen == nullptr) screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    QRect frame = window->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
}

QSize FittedSize(QSize wanted, QSize available, QMargins frame, int scrollBar) {
    const QSize room = QSize(available.width() - frame.left() - frame.right(),
                             available.height() - frame.top() - frame.bottom())
                           .expandedTo(QSize(1, 1));
    // Where one side is cut, its scroll bar takes room from the other side, which gets it
    // back if the screen has it.
    if (wanted.height() > room.height()) wanted.rwidth() += scrollBar;
    if (wanted.width() > room.width()) wanted.rheight() += scrollBar;
    return wanted.boundedTo(room);
}

namespace {

// A title bar and thin borders, for a window not yet shown.
constexpr QMargins kUsualFrame(4, 30, 4, 4);
// Between a group's title and the top of its frame, as the style leaves it.
constexpr int kGroupTitleGap = 3;

class FocusFrameStyle : public QProxyStyle {
  public:
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override {
        if (element == PE_Frame && qobject_cast<const QAbstractScrollArea*>(widget)) {
            DrawBox(option, painter);
            return;
        }
        // The style's own group frame is a picture with a pale fill of its own, which shows
        // as a grey patch on a white window and under white check boxes.
        if (element == PE_FrameGroupBox) {
            // Below the title, where the style puts its own.
            const auto* group = qobject_cast<const QGroupBox*>(widget);
            const int top = group && group->title().isEmpty()
                                ? 0
                                : std::max(proxy()->pixelMetric(PM_ExclusiveIndicatorHeight),
                                           option->fontMetrics.height()) +
                                      kGroupTitleGap;
            QStyleOption frame(*option);
            frame.rect.setTop(std::min(option->rect.bottom(), option->rect.top() + top));
            DrawBox(&frame, painter);
            return;
        }
        if (element != PE_FrameFocusRect) {
            QProxyStyle::drawPrimitive(element, option, painter, widget);
            return;
        }
        // Push buttons get theirs in drawControl, inside the bevel.
        if (qobject_cast<const QAbstractButton*>(widget) && !qobject_cast<const QCheckBox*>(widget))
            return;
        DrawFrame(option, painter, 0);
    }

    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override {
        QProxyStyle::drawControl(element, option, painter, widget);
        if (element == CE_PushButton && (option->state & State_HasFocus))
            DrawFrame(option, painter, 2);
    }

  private:
    // The plain frame of the text box and the lists, as filled edges: at a fractional scale
    // (QT_FONT_DPI=144 is 1.5) a one-pixel line on the right and bottom edges rounds to just
    // outside the widget and is not drawn at all.
    static void DrawBox(const QStyleOption* option, QPainter* painter) {
        const QColor edge = option->palette.color(QPalette::Window).darker(140).lighter(108);
        const QRectF r(option->rect);
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing, false);
        painter->fillRect(QRectF(r.left(), r.top(), r.width(), 1), edge);
        painter->fillRect(QRectF(r.left(), r.top(), 1, r.height()), edge);
        painter->fillRect(QRectF(r.right() - 1, r.top(), 1, r.height()), edge);
        painter->fillRect(QRectF(r.left(), r.bottom() - 1, r.width(), 1), edge);
        painter->restore();
    }

    static void DrawFrame(const QStyleOption* option, QPainter* painter, int inset) {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing, false);
        QPen pen(option->palette.color(QPalette::WindowText), 2);
        pen.setJoinStyle(Qt::MiterJoin);
        painter->setPen(pen);
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(
            QRectF(option->rect).adjusted(inset + 1, inset + 1, -inset - 1, -inset - 1));
        painter->restore();
    }
};

class ReturnPresses : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        if (!enter || (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) return false;
        auto* button = static_cast<QPushButton*>(watched);
        if (button->isEnabled()) button->click();
        return true;
    }
};

}  // namespace

void FitOnScreen(QWidget* window) {
    QScreen* screen = window->screen();
    if (screen == nullptr) screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    const QRect frame = window->frameGeometry(), inner = window->geometry();
    QMargins margins(inner.left() - frame.left(), inner.top() - frame.top(),
                     frame.right() - inner.right(), frame.bottom() - inner.bottom());
    if (margins.isNull()) margins = kUsualFrame;
    const int scrollBar = window->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, window);
    const QSize size =
        FittedSize(window->size(), screen->availableGeometry().size(), margins, scrollBar);
    window->setMinimumSize(window->minimumSize().boundedTo(size));
    window->resize(size);
}

void ShowFocusClearly(QWidget* window) {
    auto* style = new FocusFrameStyle;
    style->setParent(window);
    window->setStyle(style);
    const QList<QWidget*> children = window->findChildren<QWidget*>();
    for (QWidget* child : children) child->setStyle(style);
}

void PressButtonsOnReturn(QWidget* window) {
    auto* filter = new ReturnPresses(window);
    const QList<QPushButton*> buttons = window->findChildren<QPushButton*>();
    for (QPushButton* button : buttons) button->installEventFilter(filter);
}

}  // namespace brintale
