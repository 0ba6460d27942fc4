#include "EditBase.h"

#include "Messages.h"

#include <QApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QKeySequence>
#include <QPainter>
#include <QPointer>
#include <QStyle>
#include <QTimer>
#include <QToolButton>

namespace {

// Set while a field takes the focus for a mouse press it is already handling.
bool g_clickFocusInProgress = false;
// Number of field exits being processed (nested when a handler moves the focus).
int g_exitDepth = 0;

// Swallows the mouse press that is on its way to the widget the operator clicked, when the field
// being left refused the exit or a modal window (a picker, a message) came up meanwhile: the button
// clicked must not act on a field that was not left.
class TClickSwallower final : public QObject {
public:
    TClickSwallower(QWidget* keep, QObject* parent) : QObject(parent), m_keep(keep), m_window(keep->window())
    {
        qApp->installEventFilter(this);
        // The press is delivered before control returns to the event loop; after that there is
        // nothing left to swallow.
        QTimer::singleShot(0, this, [this] { deleteLater(); });
    }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        if (m_done || (e->type() != QEvent::MouseButtonPress && e->type() != QEvent::MouseButtonDblClick))
            return false;
        auto* w = qobject_cast<QWidget*>(watched);
        if (!w || w->window() != m_window)
            return false;
        if (m_keep && (w == m_keep || m_keep->isAncestorOf(w)))
            return false;
        m_done = true;
        deleteLater();
        return true;
    }

private:
    QPointer<QWidget> m_keep;
    QPointer<QWidget> m_window;
    bool m_done = false;
};

// Notices that the window lost activation (a modal window opened) while a field was being left.
class TInterruptionWatch final : public QObject {
public:
    explicit TInterruptionWatch(QWidget* window) : m_window(window)
    {
        if (window)
            window->installEventFilter(this);
    }
    ~TInterruptionWatch() override
    {
        if (m_window)
            m_window->removeEventFilter(this);
    }
    bool Interrupted() const { return m_interrupted; }

protected:
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::WindowDeactivate)
            m_interrupted = true;
        return false;
    }

private:
    QPointer<QWidget> m_window;
    bool m_interrupted = false;
};

struct TExitScope {
    TExitScope() { ++g_exitDepth; }
    ~TExitScope() { --g_exitDepth; }
};

struct TClickFocusScope {
    TClickFocusScope() { g_clickFocusInProgress = true; }
    ~TClickFocusScope() { g_clickFocusInProgress = false; }
};

}  // namespace

bool FieldExitInProgress()
{
    return g_exitDepth > 0;
}

bool IsPassingFocusChange(Qt::FocusReason reason)
{
    return reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason ||
           reason == Qt::MenuBarFocusReason;
}

bool IsTypedKey(const QKeyEvent* e)
{
    const Qt::KeyboardModifiers m = e->modifiers();
    if ((m & (Qt::ControlModifier | Qt::MetaModifier)) && !(m & Qt::AltModifier))
        return false;
    const QString text = e->text();
    if (text.isEmpty())
        return false;
    for (QChar c : text)
        if (c.unicode() < 32 || c.unicode() == 127)
            return false;
    return true;
}

bool IsEditingKey(QKeyEvent* e)
{
    if (IsTypedKey(e) || e->key() == Qt::Key_Backspace || e->key() == Qt::Key_Delete)
        return true;
    for (QKeySequence::StandardKey k :
         {QKeySequence::Paste, QKeySequence::Cut, QKeySequence::Undo, QKeySequence::Redo,
          QKeySequence::DeleteEndOfWord, QKeySequence::DeleteStartOfWord, QKeySequence::DeleteEndOfLine,
          QKeySequence::DeleteCompleteLine})
        if (e->matches(k))
            return true;
    return false;
}

void ReportAfterFocusChange(const QString& text)
{
    QTimer::singleShot(0, qApp, [text] { ShowError(text); });
}

QPixmap ThreeDotsGlyph()
{
    QPixmap pixmap(9, 6);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    for (int x : {0, 3, 6})
        p.fillRect(x + 1, 3, 2, 2, Qt::black);
    return pixmap;
}

// ---------------------------------------------------------------------------------------------------

bool TTabExitMark::KeyDown(QKeyEvent* e, QObject* sender, bool enterAsTab, const TNotifyEvent& onClickSpace,
                           const std::function<void()>& moveNext)
{
    m_shift = e->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    switch (e->key()) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        m_leftByTab = true;
        return false;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (!enterAsTab)
            return false;
        m_leftByTab = true;
        moveNext();
        return true;
    case Qt::Key_Space:
        if (!onClickSpace)
            return false;
        onClickSpace(sender);
        return true;
    default:
        return false;
    }
}

void TTabExitMark::ValidExit(QObject* sender, const TTabExitEvent& onTabExit)
{
    if (!m_leftByTab)
        return;
    m_leftByTab = false;
    if (onTabExit)
        onTabExit(sender, m_shift);
}

// ---------------------------------------------------------------------------------------------------

TEditBase::TEditBase(QWidget* parent, int options) : QLineEdit(parent), m_options(options)
{
    if (m_options & kButtonKeepsFocus) {
        // Without click focus of its own, a click on the embedded button does not move the focus into
        // the field; a click on the text takes the focus by hand (mousePressEvent).
        setFocusPolicy(Qt::TabFocus);
    }
    if (m_options & kHasButton) {
        m_button = new QToolButton(this);
        m_button->setFocusPolicy(Qt::NoFocus);
        m_button->setCursor(Qt::ArrowCursor);
        m_button->hide();
        connect(m_button, &QToolButton::clicked, this, [this] { ButtonClicked(); });
        LayoutButton();
    }
}

TEditBase::~TEditBase() = default;

void TEditBase::SetButtonVisible(bool visible)
{
    m_buttonVisible = visible;
    LayoutButton();
}

void TEditBase::SetButtonWidth(int width)
{
    m_buttonWidth = width;
    LayoutButton();
}

void TEditBase::SetGlyph(const QPixmap& glyph)
{
    m_glyph = glyph;
    ApplyGlyph();
}

void TEditBase::SetNumGlyphs(int count)
{
    m_numGlyphs = std::clamp(count, 1, 4);
    ApplyGlyph();
}

void TEditBase::ApplyGlyph()
{
    if (!m_button)
        return;
    if (m_glyph.isNull()) {
        m_button->setIcon(QIcon());
        return;
    }
    // A glyph strip holds its images side by side: normal first, then disabled.
    const int w = m_glyph.width() / m_numGlyphs;
    QIcon icon;
    icon.addPixmap(m_glyph.copy(0, 0, w, m_glyph.height()), QIcon::Normal);
    if (m_numGlyphs > 1)
        icon.addPixmap(m_glyph.copy(w, 0, w, m_glyph.height()), QIcon::Disabled);
    m_button->setIcon(icon);
    m_button->setIconSize(QSize(w, m_glyph.height()));
}

int TEditBase::EffectiveButtonWidth() const
{
    if (!m_button || !m_buttonVisible)
        return 0;
    return std::min(std::max(m_buttonWidth, 15), width());
}

void TEditBase::LayoutButton()
{
    if (!m_button)
        return;
    const int frame = hasFrame() ? style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this) : 0;
    const int w = EffectiveButtonWidth();
    m_button->setGeometry(width() - frame - w, frame, w, std::max(0, height() - 2 * frame));
    m_button->setVisible(w > 0);
    // The typing area ends 4 pixels before the button, so text never runs under it.
    QMargins margins = textMargins();
    margins.setRight(w + 4);
    setTextMargins(margins);
}

void TEditBase::resizeEvent(QResizeEvent* e)
{
    QLineEdit::resizeEvent(e);
    LayoutButton();
}

void TEditBase::changeEvent(QEvent* e)
{
    QLineEdit::changeEvent(e);
    if (e->type() == QEvent::StyleChange)
        LayoutButton();
}

bool TEditBase::KeyDown(QKeyEvent* e)
{
    if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) && m_enterIsTab) {
        MoveToNextControl();
        return true;
    }
    return false;
}

void TEditBase::MoveToNextControl()
{
    focusNextChild();
}

bool TEditBase::event(QEvent* e)
{
    // Before QLineEdit and before QWidget moves the focus on Tab.
    if (e->type() == QEvent::KeyPress && KeyDown(static_cast<QKeyEvent*>(e))) {
        e->accept();
        return true;
    }
    return QLineEdit::event(e);
}

void TEditBase::DoEnter()
{
    if (OnEnter)
        OnEnter(this);
}

void TEditBase::focusInEvent(QFocusEvent* e)
{
    QLineEdit::focusInEvent(e);
    // The first field of a window that opens is entered through the activation.
    if (m_entered || (IsPassingFocusChange(e->reason()) && FieldExitInProgress()))
        return;
    m_entered = true;
    DoEnter();
}

void TEditBase::focusOutEvent(QFocusEvent* e)
{
    QLineEdit::focusOutEvent(e);
    // A field that never had the focus (the focus passed through it while another field refused its
    // exit) has nothing to check.
    if (IsPassingFocusChange(e->reason()) || !m_entered || m_inExit)
        return;
    m_entered = false;
    const Qt::FocusReason reason = e->reason();
    QPointer<TEditBase> self(this);
    TInterruptionWatch watch(window());
    m_inExit = true;
    bool left = true;
    try {
        TExitScope scope;
        left = DoExit();
    } catch (...) {
        if (self)
            m_inExit = false;
        throw;
    }
    if (!self)
        return;
    m_inExit = false;
    if (reason == Qt::MouseFocusReason && !g_clickFocusInProgress && (!left || watch.Interrupted()))
        new TClickSwallower(this, qApp);
}

void TEditBase::KeepFocus()
{
    if (!isVisible() || !isEnabled() || focusPolicy() == Qt::NoFocus)
        return;
    m_entered = true;
    setFocus(Qt::OtherFocusReason);
    selectAll();
}

void TEditBase::mousePressEvent(QMouseEvent* e)
{
    if ((m_options & kButtonKeepsFocus) && !hasFocus() && (focusPolicy() & Qt::TabFocus)) {
        {
            TClickFocusScope scope;
            setFocus(Qt::MouseFocusReason);
        }
        if (!hasFocus()) {
            // The field that had the focus refused to be left.
            e->accept();
            return;
        }
    }
    QLineEdit::mousePressEvent(e);
}
