#pragma once

#include "RAWPrinter.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>

// The printing module: the program's one raw channel to the receipt printer and the frame that every
// printed document shares (logo, the document's lines, the closing feed with the drawer pulse).
class TDataSestavy : public QObject {
    Q_OBJECT
public:
    explicit TDataSestavy(QObject* parent = nullptr);
    ~TDataSestavy() override;

    // The program's printing module, created at start-up after the main window; null while none
    // exists. The windows print through it.
    static TDataSestavy* Instance();

    // Closing sequence of every document: ESC "d0" BEL; its BEL opens the cash drawer.
    static const QByteArray kEndOfDocument;
    static const QByteArray kDrawerPulse;  // BEL

    TRAWPrinter RAWPrinter;

    // PrinterName := the printer at printerPosition in the printer list. False, with the list's message
    // in *error when asked for, if the position is outside the list: nothing is sent then.
    bool SelectPrinter(int printerPosition, QString* error = nullptr);

    // Document frame, one spooler job: select the printer; StartDoc; the logo file logo.prn from
    // logoDirectory; the lines that body writes (WriteLine / NewLine on RAWPrinter); seven line feeds;
    // ESC "d0" BEL; EndDoc. The channel's own failures do not stop the frame (a printer that cannot be
    // opened takes no bytes). True when the job went to the spooler completely.
    bool PrintDocument(int printerPosition, const QString& logoDirectory,
                       const std::function<void(TRAWPrinter&)>& body, QString* error = nullptr);
    // Opens the cash drawer: a job of its own with the one line BEL.
    bool OpenDrawer(int printerPosition, QString* error = nullptr);

    static QString LogoPath(const QString& logoDirectory);
};
