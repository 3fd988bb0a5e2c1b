// SPDX-License-Identifier: GPL-3.0-or-later
// Gives each page its own control, as a browser gives each page its own
// embedded object: every page connected over the WebSocket is served by a
// process of its own (this program with --page-child), holding one control
// with its own size, windows, language, sessions and picture.
//
// A process of its own, not a control beside the others in this one: one
// application has one popup in front, one modal stack, one active window
// and one keyboard focus, so a menu open in one page's control would take
// another page's clicks and one page's dialog would block every control.
// Apart, nothing one page does reaches another, and a control that fails
// ends only its own page.
//
// Resuming: each page process has a resume id, which its page keeps (in
// sessionStorage) and presents again when it reconnects (`?resume=`). When
// a page goes away its process keeps the control for the grace time; a
// page that comes back with the id within it gets the same control (still
// logged in, still watching); else the process ends its control (logging
// out, finishing recordings) and exits. A second page presenting an id
// whose control is in use gets a control of its own (a duplicated tab
// copies sessionStorage), but only after waiting kResumeWaitMs for that
// control's page to go: a reload's new connection can come before the
// page process has seen the old one end.
//
// A page may ask for its screen's device pixel ratio (`?dpr=2`): its
// control then draws that sharp (menus and texts included) and its frames
// have that many device pixels to each control pixel.
//
// At most `maxPages` page processes live at once (those waiting for their
// page included); a page beyond them is closed with 1013 (try again later)
// and a sentence saying why.
//
// UI thread only.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QSize>
#include <QString>

#include <memory>
#include <vector>

class QProcess;
class QSocketNotifier;
class QTimer;

namespace host {

class WebSocketConnection;
struct WebSocketRequest;

class PageBroker : public QObject {
public:
    struct Settings {
        int maxPages = 4;
        int resumeGraceMs = 10000;
        QSize controlSize{960, 540};
    };

    static constexpr int kResumeWaitMs = 1500;

    explicit PageBroker(Settings settings, QObject* parent = nullptr);
    ~PageBroker() override;

    // Gives an opened, accepted connection to its page's process: the one
    // it resumes, or a new one; or refuses it when the limit is reached.
    void accept(WebSocketConnection* connection, const WebSocketRequest& request);

    // Asks every page process to end its control and waits up to `waitMs`
    // for all of them together; those still running then are killed.
    void shutDown(int waitMs);

    // Page processes alive (attached to a page or waiting for one).
    int pageCount() const;

private:
    struct PageProcess;

    // A connection presenting the id of a control still in use, held until
    // that control's page goes or the wait is over.
    struct Waiting {
        QPointer<WebSocketConnection> connection;
        PageProcess* process = nullptr;
        QTimer* timer = nullptr;
        double pixelRatio = 1.0;
    };

    void startNew(WebSocketConnection* connection, double pixelRatio);
    void endWait(std::size_t index, bool resume);
    PageProcess* startProcess(double pixelRatio);
    bool handOver(PageProcess& process, WebSocketConnection* connection, bool resumed);
    void onChannelReadable(PageProcess* process);
    void forget(PageProcess* process);
    PageProcess* findResumable(const QByteArray& resumeId) const;

    const Settings m_settings;
    std::vector<std::unique_ptr<PageProcess>> m_processes;
    std::vector<Waiting> m_waiting;
    bool m_shuttingDown = false;
};

}  // namespace host
