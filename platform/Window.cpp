// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Window.h"

#include "platform/SentMessages.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>

#include <algorithm>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>

// Qt hands a posted event to the window's thread under its own lock, which
// the thread sanitizer cannot see; tell it about that hand-over.
#if defined(__SANITIZE_THREAD__)
#define VELK_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define VELK_TSAN 1
#endif
#endif
#ifdef VELK_TSAN
extern "C" void __tsan_acquire(void* addr);
extern "C" void __tsan_release(void* addr);
#endif

namespace platform {

namespace {

// The poster's side of an event's hand-over to another thread. Any thread.
void handOver(QEvent* event)
{
#ifdef VELK_TSAN
    __tsan_release(event);
#else
    (void)event;
#endif
}

// The receiver's side: before the first look at an event. Window thread.
void takeOver(QEvent* event)
{
#ifdef VELK_TSAN
    __tsan_acquire(event);
#else
    (void)event;
#endif
}

struct RegistryEntry {
    CWnd* window;
    std::thread::id owner;  // the thread that created the window
};

struct Registry {
    std::mutex registryLock;  // guards windows and lastHandle
    std::unordered_map<WindowHandle, RegistryEntry> windows;
    WindowHandle lastHandle = 0;
};

Registry& registry()
{
    static Registry r;
    return r;
}

QEvent::Type messageEventType()
{
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

// A posted or sent private message on its way to a window's thread. A sent
// one completes its sender with 0 if it is discarded unhandled (the window
// died first).
class MessageEvent : public QEvent {
public:
    MessageEvent(WindowHandle hwnd, std::uint32_t msg, WPARAM wParam, LPARAM lParam)
        : QEvent(messageEventType()), hwnd(hwnd), msg(msg), wParam(wParam), lParam(lParam)
    {
    }
    explicit MessageEvent(std::shared_ptr<detail::SendRequest> request)
        : QEvent(messageEventType()),
          hwnd(request->hwnd),
          msg(request->msg),
          wParam(request->wParam),
          lParam(request->lParam),
          request(std::move(request))
    {
    }
    ~MessageEvent() override
    {
        takeOver(this);  // may be dropped undelivered, on the window's thread
        if (request && request->claim())
            request->complete(0);
    }

    const WindowHandle hwnd;
    const std::uint32_t msg;
    const WPARAM wParam;
    const LPARAM lParam;
    const std::shared_ptr<detail::SendRequest> request;
};

// Shortest and longest timer intervals: a zero interval would tick on every
// turn of the event loop and starve it.
constexpr std::uint32_t kMinTimerIntervalMs = 10;
constexpr std::uint32_t kMaxTimerIntervalMs = 0x7FFFFFFF;

// Stops a timer for good. It may be the one whose timeout is being handled
// right now, so it is deleted from the event loop, not here.
void discardTimer(QTimer* timer)
{
    timer->stop();
    timer->disconnect();
    timer->deleteLater();
}

// Caller holds registryLock.
WindowHandle allocateHandle(Registry& r)
{
    do {
        ++r.lastHandle;
    } while (r.lastHandle == 0 || r.windows.count(r.lastHandle) != 0);
    return r.lastHandle;
}

}  // namespace

CWnd::CWnd(QWidget* qtParent) : QWidget(qtParent) {}

CWnd::~CWnd()
{
    destroyWindow();
}

bool CWnd::createWindow(QWidget* parent, const QRect& rect, int id, bool visible)
{
    if (m_handle != 0)
        return false;
    setParent(parent);
    setGeometry(rect);
    m_controlId = id;
    {
        Registry& r = registry();
        std::lock_guard<std::mutex> lock(r.registryLock);
        m_handle = allocateHandle(r);
        r.windows.emplace(m_handle, RegistryEntry{this, std::this_thread::get_id()});
    }
    detail::SentMessageQueue::markCurrentThreadOwnsWindows();
    if (!onCreate()) {
        Registry& r = registry();
        std::lock_guard<std::mutex> lock(r.registryLock);
        r.windows.erase(m_handle);
        m_handle = 0;
        return false;
    }
    setVisible(visible);
    return true;
}

void CWnd::destroyWindow()
{
    if (m_handle == 0)
        return;
    onDestroy();
    {
        Registry& r = registry();
        std::lock_guard<std::mutex> lock(r.registryLock);
        r.windows.erase(m_handle);
        m_handle = 0;
    }
    for (auto& [id, timer] : m_timers)
        discardTimer(timer);
    m_timers.clear();
    // No new message can reach this window now; drop those on their way.
    // Discarded sends complete their senders with 0.
    QCoreApplication::removePostedEvents(this, messageEventType());
}

void CWnd::setTimerById(std::uint32_t id, std::uint32_t intervalMs)
{
    auto it = m_timers.find(id);
    QTimer* timer = nullptr;
    if (it != m_timers.end()) {
        timer = it->second;
    } else {
        timer = new QTimer(this);
        timer->setTimerType(Qt::PreciseTimer);
        connect(timer, &QTimer::timeout, this, [this, id] { onTimer(id); });
        m_timers.emplace(id, timer);
    }
    timer->start(static_cast<int>(std::clamp(intervalMs, kMinTimerIntervalMs, kMaxTimerIntervalMs)));
}

void CWnd::killTimerById(std::uint32_t id)
{
    auto it = m_timers.find(id);
    if (it == m_timers.end())
        return;
    QTimer* timer = it->second;
    m_timers.erase(it);
    discardTimer(timer);
}

bool CWnd::hasTimer(std::uint32_t id) const
{
    return m_timers.count(id) != 0;
}

LRESULT CWnd::windowProc(std::uint32_t, WPARAM, LPARAM)
{
    return 0;
}

bool CWnd::event(QEvent* e)
{
    takeOver(e);
    if (e->type() != messageEventType())
        return QWidget::event(e);
    auto* message = static_cast<MessageEvent*>(e);
    if (message->request) {
        if (message->request->claim()) {
            const LRESULT result = message->hwnd == m_handle && m_handle != 0
                                       ? windowProc(message->msg, message->wParam, message->lParam)
                                       : 0;
            message->request->complete(result);
        }
    } else if (message->hwnd == m_handle && m_handle != 0) {
        windowProc(message->msg, message->wParam, message->lParam);
    }
    return true;
}

bool postMessage(WindowHandle hwnd, std::uint32_t msg, WPARAM wParam, LPARAM lParam)
{
    if (hwnd == 0)
        return false;
    Registry& r = registry();
    // Posting under the lock: destroyWindow() cannot unregister and drop the
    // window's queue in between.
    std::lock_guard<std::mutex> lock(r.registryLock);
    auto it = r.windows.find(hwnd);
    if (it == r.windows.end())
        return false;
    auto* event = new MessageEvent(hwnd, msg, wParam, lParam);
    handOver(event);
    QCoreApplication::postEvent(it->second.window, event);
    return true;
}

LRESULT sendMessage(WindowHandle hwnd, std::uint32_t msg, WPARAM wParam, LPARAM lParam)
{
    if (hwnd == 0)
        return 0;
    const std::thread::id self = std::this_thread::get_id();
    std::shared_ptr<detail::SendRequest> request;
    {
        Registry& r = registry();
        std::lock_guard<std::mutex> lock(r.registryLock);
        auto it = r.windows.find(hwnd);
        if (it == r.windows.end())
            return 0;
        if (it->second.owner != self) {
            request = std::make_shared<detail::SendRequest>(hwnd, msg, wParam, lParam, it->second.owner);
            detail::SentMessageQueue::add(request);
            auto* event = new MessageEvent(request);
            handOver(event);
            QCoreApplication::postEvent(it->second.window, event);
        }
    }
    if (!request) {
        // On the window's own thread the window cannot die before the call.
        CWnd* window = windowFromHandle(hwnd);
        return window ? window->windowProc(msg, wParam, lParam) : 0;
    }
    const LRESULT result = request->waitForResult();
    detail::SentMessageQueue::remove(request.get());
    return result;
}

CWnd* windowFromHandle(WindowHandle hwnd)
{
    if (hwnd == 0)
        return nullptr;
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.registryLock);
    auto it = r.windows.find(hwnd);
    return it == r.windows.end() ? nullptr : it->second.window;
}

bool isWindow(WindowHandle hwnd)
{
    return windowFromHandle(hwnd) != nullptr;
}

namespace detail {

LRESULT deliverSend(const SendRequest& request)
{
    CWnd* window = windowFromHandle(request.hwnd);
    return window ? window->windowProc(request.msg, request.wParam, request.lParam) : 0;
}

}  // namespace detail
}  // namespace platform
