#include "FrameUnit.h"

#include "DataSet.h"
#include "DbError.h"
#include "Messages.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QTime>

#if QT_CONFIG(xcb)
#include <dlfcn.h>
#endif

using namespace Qt::StringLiterals;

// ---------------------------------------------------------------------------------------------------
// Application

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        const QEvent::Type type = event->type();
        if (type == QEvent::KeyPress || type == QEvent::KeyRelease)
            TKeyLocks::Instance().Observe(*static_cast<QKeyEvent*>(event));
        if (type == QEvent::KeyPress && receiver->isWidgetType()) {
            QWidget* window = static_cast<QWidget*>(receiver)->window();
            if (auto* preview = dynamic_cast<TKeyPreview*>(window)) {
                if (preview->FormKeyDown(static_cast<QKeyEvent*>(event)))
                    return true;
            }
        }
        return QApplication::notify(receiver, event);
    } catch (...) {
        ShowCurrentException();
    }
    return false;
}

void TApplication::ShowCurrentException()
{
    try {
        throw;
    } catch (const EDatabaseError& e) {
        if (!e.Context().isEmpty())
            qWarning().noquote() << e.Context() + u": "_s + e.Message();
        ShowError(e.Message());
    } catch (const std::exception& e) {
        ShowError(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        ShowError(u"Neočekávaná chyba programu"_s);
    }
}

void TApplication::SetTitle(const QString& title)
{
    QApplication::setApplicationName(title);
}

void InstallMessageBoxes()
{
    SetMessageHandler([](TMessageKind kind, const QString& text) {
        QWidget* parent = QApplication::activeModalWidget();
        if (!parent)
            parent = QApplication::activeWindow();
        QMessageBox box(parent);
        // Texts from the tables go into message boxes; they are never markup.
        box.setTextFormat(Qt::PlainText);
        box.setText(text);
        switch (kind) {
        case TMessageKind::Information:
            box.setIcon(QMessageBox::Information);
            box.setWindowTitle(QGuiApplication::applicationDisplayName());
            break;
        case TMessageKind::Warning:
            box.setIcon(QMessageBox::Warning);
            box.setWindowTitle(u"Warning"_s);
            break;
        case TMessageKind::Error:
            box.setIcon(QMessageBox::Critical);
            box.setWindowTitle(u"Error"_s);
            break;
        case TMessageKind::Confirmation:
            box.setIcon(QMessageBox::Question);
            box.setWindowTitle(u"Confirm"_s);
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            box.setDefaultButton(QMessageBox::Ok);
            box.setEscapeButton(QMessageBox::Cancel);
            return box.exec() == QMessageBox::Ok;
        }
        box.exec();
        return true;
    });
}

// ---------------------------------------------------------------------------------------------------
// Lock keys

namespace {

#if QT_CONFIG(xcb)
// XkbStateRec of <X11/XKBlib.h>; libX11 is loaded at run time, so that the program does not need it
// on other platforms.
struct TXkbState {
    unsigned char group, lockedGroup;
    unsigned short baseGroup, latchedGroup;
    unsigned char mods, baseMods, latchedMods, lockedMods, compatState, grabMods, compatGrabMods, lookupMods,
        compatLookupMods;
    unsigned short ptrButtons;
};
using TXkbGetState = int (*)(Display*, unsigned int, TXkbState*);

TKeyLocks::TStateSource X11StateSource()
{
    auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display* display = x11 ? x11->display() : nullptr;
    if (!display)
        return {};
    void* lib = dlopen("libX11.so.6", RTLD_LAZY | RTLD_LOCAL);
    auto getState = lib ? reinterpret_cast<TXkbGetState>(dlsym(lib, "XkbGetState")) : nullptr;
    if (!getState)
        return {};
    return [display, getState]() -> std::optional<TKeyLocks::TState> {
        constexpr unsigned int kUseCoreKbd = 0x0100;
        TXkbState state{};
        if (getState(display, kUseCoreKbd, &state) != 0)
            return std::nullopt;
        // Lock is the Caps Lock modifier, Mod2 the Num Lock one.
        return TKeyLocks::TState{(state.lockedMods & 0x02) != 0, (state.lockedMods & 0x10) != 0};
    };
}
#else
TKeyLocks::TStateSource X11StateSource()
{
    return {};
}
#endif

}  // namespace

TKeyLocks::TKeyLocks() : m_source(X11StateSource())
{
    Refresh();
}

TKeyLocks& TKeyLocks::Instance()
{
    static TKeyLocks instance;
    return instance;
}

void TKeyLocks::Set(bool caps, bool num)
{
    if (caps == m_caps && num == m_num)
        return;
    m_caps = caps;
    m_num = num;
    emit Changed();
}

void TKeyLocks::SetStateSource(TStateSource source)
{
    m_source = std::move(source);
    Refresh();
}

void TKeyLocks::Refresh()
{
    if (!m_source)
        return;
    if (const std::optional<TState> state = m_source())
        Set(state->caps, state->num);
}

void TKeyLocks::Observe(const QKeyEvent& event)
{
    if (m_source) {
        Refresh();
        return;
    }
    if (event.type() == QEvent::KeyPress && event.key() == Qt::Key_CapsLock)
        Set(!m_caps, m_num);
    else if (event.type() == QEvent::KeyPress && event.key() == Qt::Key_NumLock)
        Set(m_caps, !m_num);
}

// ---------------------------------------------------------------------------------------------------
// Status bar

namespace {

QLabel* Pane(QStatusBar* bar, const QString& sample, int stretch)
{
    auto* label = new QLabel(bar);
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setAlignment(Qt::AlignCenter);
    if (!sample.isEmpty())
        label->setMinimumWidth(label->fontMetrics().horizontalAdvance(sample) + 12);
    bar->addPermanentWidget(label, stretch);
    return label;
}

}  // namespace

TStatusBar::TStatusBar(QWidget* parent) : QStatusBar(parent)
{
    setSizeGripEnabled(false);
    m_text = Pane(this, QString(), 1);
    m_text->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_caps = Pane(this, u"CAPS"_s, 0);
    m_caps->setText(u"CAPS"_s);
    m_num = Pane(this, u"NUM"_s, 0);
    m_num->setText(u"NUM"_s);
    m_clock = Pane(this, u"00:00:00"_s, 0);
    connect(&TKeyLocks::Instance(), &TKeyLocks::Changed, this, &TStatusBar::UpdateLocks);
    connect(&m_timer, &QTimer::timeout, this, &TStatusBar::Tick);
    m_timer.start(1000);
    UpdateLocks();
    Tick();
}

void TStatusBar::UpdateLocks()
{
    // An indicator that is off stays in place, greyed out.
    m_caps->setEnabled(TKeyLocks::Instance().CapsLock());
    m_num->setEnabled(TKeyLocks::Instance().NumLock());
}

void TStatusBar::Tick()
{
    TKeyLocks::Instance().Refresh();
    m_clock->setText(QTime::currentTime().toString(u"HH:mm:ss"_s));
}

// ---------------------------------------------------------------------------------------------------
// Navigator

namespace {

enum class TGlyph { First, Prior, Next, Last };

QIcon NavigatorIcon(TGlyph glyph)
{
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    const bool left = glyph == TGlyph::First || glyph == TGlyph::Prior;
    QPainterPath tri;
    if (left) {
        tri.moveTo(11, 3);
        tri.lineTo(11, 13);
        tri.lineTo(5, 8);
    } else {
        tri.moveTo(5, 3);
        tri.lineTo(5, 13);
        tri.lineTo(11, 8);
    }
    tri.closeSubpath();
    p.drawPath(tri);
    if (glyph == TGlyph::First)
        p.drawRect(3, 3, 2, 10);
    if (glyph == TGlyph::Last)
        p.drawRect(11, 3, 2, 10);
    p.end();
    return QIcon(pm);
}

}  // namespace

TDBNavigator::TDBNavigator(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_first = MakeButton(u"První záznam"_s, &TDBNavigator::FirstClick);
    m_prior = MakeButton(u"Předchozí záznam"_s, &TDBNavigator::PriorClick);
    m_next = MakeButton(u"Další záznam"_s, &TDBNavigator::NextClick);
    m_last = MakeButton(u"Poslední záznam"_s, &TDBNavigator::LastClick);
    m_first->setIcon(NavigatorIcon(TGlyph::First));
    m_prior->setIcon(NavigatorIcon(TGlyph::Prior));
    m_next->setIcon(NavigatorIcon(TGlyph::Next));
    m_last->setIcon(NavigatorIcon(TGlyph::Last));
    for (QToolButton* b : {m_first, m_prior, m_next, m_last})
        layout->addWidget(b);
    UpdateButtons();
}

QToolButton* TDBNavigator::MakeButton(const QString& tip, void (TDBNavigator::*slot)())
{
    auto* b = new QToolButton(this);
    b->setToolTip(tip);
    b->setFocusPolicy(Qt::NoFocus);
    b->setAutoRaise(false);
    b->setFixedSize(25, 25);
    connect(b, &QToolButton::clicked, this, slot);
    return b;
}

void TDBNavigator::SetDataSet(TDataSet* dataSet)
{
    for (auto& c : m_connections)
        disconnect(c);
    m_dataSet = dataSet;
    if (m_dataSet) {
        m_connections[0] = connect(m_dataSet, &TDataSet::AfterScroll, this, &TDBNavigator::UpdateButtons);
        m_connections[1] = connect(m_dataSet, &TDataSet::AfterOpen, this, &TDBNavigator::UpdateButtons);
        m_connections[2] = connect(m_dataSet, &TDataSet::AfterClose, this, &TDBNavigator::UpdateButtons);
        m_connections[3] = connect(m_dataSet, &TDataSet::StateChanged, this, &TDBNavigator::UpdateButtons);
        m_connections[4] = connect(m_dataSet, &QObject::destroyed, this, [this] {
            m_dataSet = nullptr;
            UpdateButtons();
        });
    }
    UpdateButtons();
}

void TDBNavigator::UpdateButtons()
{
    const bool browsing = m_dataSet && m_dataSet->State() == TDataSetState::Browse;
    const bool atStart = !browsing || m_dataSet->Bof();
    const bool atEnd = !browsing || m_dataSet->Eof();
    m_first->setEnabled(!atStart);
    m_prior->setEnabled(!atStart);
    m_next->setEnabled(!atEnd);
    m_last->setEnabled(!atEnd);
}

void TDBNavigator::FirstClick()
{
    if (m_dataSet)
        m_dataSet->First();
}

void TDBNavigator::PriorClick()
{
    if (m_dataSet)
        m_dataSet->Prior();
}

void TDBNavigator::NextClick()
{
    if (m_dataSet)
        m_dataSet->Next();
}

void TDBNavigator::LastClick()
{
    if (m_dataSet)
        m_dataSet->Last();
}
