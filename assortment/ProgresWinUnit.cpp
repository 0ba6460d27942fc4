#include "ProgresWinUnit.h"

#include "DataUnit.h"

#include <QApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPointer>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>
#include <memory>

using namespace Qt::StringLiterals;

TProgresWin::TProgresWin(QWidget* owner)
    : QWidget(owner, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setWindowTitle(u"Indexace datových souborů"_s);
    m_label = new QLabel(u"Indexace souboru :"_s, this);
    m_value = new QLabel(this);
    m_value->setTextFormat(Qt::PlainText);
    m_gauge = new QProgressBar(this);
    m_gauge->setRange(0, 100);
    m_gauge->setValue(0);

    auto* labels = new QHBoxLayout;
    labels->addWidget(m_label);
    labels->addWidget(m_value, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(labels);
    layout->addWidget(m_gauge);
    setFixedSize(360, 80);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.left() + std::max(0, (area.width() - width()) / 2),
             area.top() + std::max(0, (area.height() - height()) / 2));
    }
}

void TProgresWin::SetTexts(const QString& title, const QString& label, const QString& value)
{
    setWindowTitle(title);
    m_label->setText(label);
    m_value->setText(value);
}

void TProgresWin::SetPosition(int percent)
{
    m_gauge->setValue(std::clamp(percent, 0, 100));
}

namespace {

struct TProgressState {
    QPointer<TProgresWin> window;
    int busy = 0;

    void Close()
    {
        if (window)
            window->close();  // deletes itself (WA_DeleteOnClose)
        window = nullptr;
    }
};

}  // namespace

void InstallProgressHooks(TData& data)
{
    auto state = std::make_shared<TProgressState>();
    data.ProgressShow = [state](const QString& title, const QString& label, const QString& name) {
        state->Close();
        // Over whatever window is in front, so that a modal dialog does not hide it.
        QWidget* owner = QApplication::activeModalWidget();
        if (!owner)
            owner = QApplication::activeWindow();
        auto* window = new TProgresWin(owner);
        window->setAttribute(Qt::WA_DeleteOnClose);
        // The dialog that started the work keeps the keyboard.
        window->setAttribute(Qt::WA_ShowWithoutActivating);
        window->SetTexts(title, label, name);
        window->show();
        state->window = window;
    };
    data.ProgressStep = [state](int percent) {
        // Paint only: the rebuild holds a transaction open, and running pending events here could
        // start a delayed message box, a nested modal loop over a locked store.
        if (state->window) {
            state->window->SetPosition(percent);
            state->window->repaint();
        }
    };
    data.ProgressHide = [state] { state->Close(); };
    data.BusyCursor = [state](bool busy) {
        if (busy) {
            ++state->busy;
            QApplication::setOverrideCursor(Qt::WaitCursor);
        } else if (state->busy > 0) {
            --state->busy;
            QApplication::restoreOverrideCursor();
        }
    };
}
