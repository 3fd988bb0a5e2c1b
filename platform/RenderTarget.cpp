// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/RenderTarget.h"

#include "platform/Sync.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QSizeF>

#include <mutex>
#include <unordered_map>

// Qt hands a posted event to the window's thread under its own lock, which
// the thread sanitizer cannot see; tell it about that hand-over.
#if defined(__SANITIZE_THREAD__)
#define VELK_RENDER_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define VELK_RENDER_TSAN 1
#endif
#endif
#ifdef VELK_RENDER_TSAN
extern "C" void __tsan_acquire(void* addr);
extern "C" void __tsan_release(void* addr);
#endif

namespace platform {

namespace detail {

// What a render target shares with the threads that present to it.
struct RenderSlot {
    // The window while it is registered. Only dereferenced to post to it,
    // under targetsLock, which unregistration also takes.
    CRenderTargetWnd* window = nullptr;

    std::mutex pictureLock;        // guards pending, hasPending, repaintRequested
    PresentedPicture pending;      // the newest picture not painted yet
    bool hasPending = false;
    bool repaintRequested = false;  // a repaint was asked for and has not run

    std::atomic<std::uint64_t> shown{0};
    std::atomic<std::uint64_t> dropped{0};
    // The window's size in device pixels, width << 16 | height; 0 unknown.
    std::atomic<std::uint32_t> deviceSize{0};
};

}  // namespace detail

namespace {

using detail::RenderSlot;

struct RenderRegistry {
    std::mutex targetsLock;  // guards targets and RenderSlot::window
    std::unordered_map<WindowHandle, std::shared_ptr<RenderSlot>> targets;
};

// Never destroyed: decode threads may still present while the process exits.
RenderRegistry& registry()
{
    static RenderRegistry* r = new RenderRegistry;
    return *r;
}

QEvent::Type pictureReadyType()
{
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

// The receiver's side of a hand-over from another thread, before the first
// look at the event. UI thread.
void takeOver(QEvent* event)
{
#ifdef VELK_RENDER_TSAN
    __tsan_acquire(event);
#else
    (void)event;
#endif
}

// Asks a render target to repaint; posted from a presenting thread.
class PictureReadyEvent : public QEvent {
public:
    PictureReadyEvent() : QEvent(pictureReadyType())
    {
#ifdef VELK_RENDER_TSAN
        __tsan_release(this);
#endif
    }
    // May be dropped undelivered, on the window's thread.
    ~PictureReadyEvent() override { takeOver(this); }
};

}  // namespace

bool presentPicture(WindowHandle target, PresentedPicture picture)
{
    if (target == 0)
        return false;
    PresentedPicture replaced;  // released after the locks are left
    RenderRegistry& r = registry();
    // Posting under targetsLock: the window cannot unregister (and be
    // deleted) in between.
    std::lock_guard<std::mutex> lock(r.targetsLock);
    const auto it = r.targets.find(target);
    if (it == r.targets.end())
        return false;
    RenderSlot& slot = *it->second;
    bool post = false;
    {
        std::lock_guard<std::mutex> pictureLock(slot.pictureLock);
        if (slot.hasPending) {
            replaced = std::move(slot.pending);
            slot.dropped.fetch_add(1);
        }
        slot.pending = std::move(picture);
        slot.hasPending = true;
        if (!slot.repaintRequested) {
            slot.repaintRequested = true;
            post = true;
        }
    }
    if (post)
        QCoreApplication::postEvent(slot.window, new PictureReadyEvent);
    return true;
}

QSize renderTargetSize(WindowHandle target)
{
    RenderRegistry& r = registry();
    std::lock_guard<std::mutex> lock(r.targetsLock);
    const auto it = r.targets.find(target);
    if (it == r.targets.end())
        return QSize();
    const std::uint32_t packed = it->second->deviceSize.load();
    return QSize(static_cast<int>(packed >> 16), static_cast<int>(packed & 0xFFFF));
}

bool isRenderTarget(WindowHandle target)
{
    RenderRegistry& r = registry();
    std::lock_guard<std::mutex> lock(r.targetsLock);
    return r.targets.count(target) != 0;
}

CRenderTargetWnd::CRenderTargetWnd(QWidget* qtParent)
    : CWnd(qtParent), m_slot(std::make_shared<RenderSlot>())
{
    // Every pixel is painted each time, over Qt's own back buffer.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
}

CRenderTargetWnd::~CRenderTargetWnd()
{
    destroyWindow();
    unregisterTarget();  // also after an onCreate() of a subclass that refused
}

bool CRenderTargetWnd::onCreate()
{
    noteDeviceSize();
    RenderRegistry& r = registry();
    std::lock_guard<std::mutex> lock(r.targetsLock);
    m_slot->window = this;
    r.targets[handle()] = m_slot;
    return true;
}

QSize CRenderTargetWnd::deviceSize() const
{
    return (QSizeF(size()) * devicePixelRatioF()).toSize();
}

void CRenderTargetWnd::noteDeviceSize()
{
    const QSize pixels = deviceSize();
    const bool known = pixels.width() > 0 && pixels.height() > 0 && pixels.width() <= 0xFFFF &&
                       pixels.height() <= 0xFFFF;
    m_slot->deviceSize.store(known ? (static_cast<std::uint32_t>(pixels.width()) << 16) |
                                         static_cast<std::uint32_t>(pixels.height())
                                   : 0u);
}

void CRenderTargetWnd::onDestroy()
{
    unregisterTarget();
}

void CRenderTargetWnd::unregisterTarget()
{
    {
        RenderRegistry& r = registry();
        std::lock_guard<std::mutex> lock(r.targetsLock);
        for (auto it = r.targets.begin(); it != r.targets.end();) {
            if (it->second == m_slot)
                it = r.targets.erase(it);
            else
                ++it;
        }
        m_slot->window = nullptr;
    }
    // Nothing can be posted to this window any more; drop what is on its way.
    QCoreApplication::removePostedEvents(this, pictureReadyType());
    PresentedPicture undisplayed;
    std::lock_guard<std::mutex> pictureLock(m_slot->pictureLock);
    undisplayed = std::move(m_slot->pending);
    m_slot->hasPending = false;
    m_slot->repaintRequested = false;
}

void CRenderTargetWnd::clearPicture()
{
    PresentedPicture undisplayed;
    {
        std::lock_guard<std::mutex> pictureLock(m_slot->pictureLock);
        if (m_slot->hasPending) {
            undisplayed = std::move(m_slot->pending);
            m_slot->hasPending = false;
            m_slot->dropped.fetch_add(1);
        }
    }
    m_picture = PresentedPicture{};
    update();
}

std::uint64_t CRenderTargetWnd::picturesShown() const
{
    return m_slot->shown.load();
}

std::uint64_t CRenderTargetWnd::picturesDropped() const
{
    return m_slot->dropped.load();
}

void CRenderTargetWnd::paintNoPicture(QPainter& painter)
{
    painter.fillRect(rect(), Qt::black);
}

bool CRenderTargetWnd::event(QEvent* e)
{
    takeOver(e);
    if (e->type() == QEvent::Resize || e->type() == QEvent::ScreenChangeInternal)
        noteDeviceSize();
    if (e->type() != pictureReadyType())
        return CWnd::event(e);
    update();
    return true;
}

void CRenderTargetWnd::paintEvent(QPaintEvent* e)
{
    PresentedPicture previous;  // released outside the lock
    bool newPicture = false;
    {
        std::lock_guard<std::mutex> pictureLock(m_slot->pictureLock);
        if (m_slot->hasPending) {
            previous = std::exchange(m_picture, std::move(m_slot->pending));
            m_slot->pending = PresentedPicture{};
            m_slot->hasPending = false;
            newPicture = true;
        }
        m_slot->repaintRequested = false;
    }

    QPainter painter(this);
    if (m_picture.image.isNull()) {
        paintNoPicture(painter);
    } else {
        // A picture of the window's own size (the decoder scales to it when
        // it knows the size) is copied as it is; another one is scaled.
        painter.setRenderHint(QPainter::SmoothPixmapTransform, m_picture.image.size() != deviceSize());
        painter.drawImage(rect(), m_picture.image);
        paintOverPicture(painter);
    }
    painter.end();

    if (!newPicture)
        return;
    m_slot->shown.fetch_add(1);
    s_newPicturesPainted.fetch_add(1, std::memory_order_relaxed);
    m_lastShownTick.store(tickCount());
    // A new picture painted into part of the window only: show all of it.
    if (!e->region().contains(rect()))
        update();
    if (m_shownHook)
        m_shownHook(m_picture.frameTimeMs);
}

}  // namespace platform
