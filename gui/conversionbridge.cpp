#include "gui/conversionbridge.h"

#include <QCoreApplication>
#include <QMetaObject>

ConversionBridge::ConversionBridge(Session &session, QObject *parent) : QObject(parent), session(session) {}

ConversionBridge::~ConversionBridge()
{
    Conversion_AbortThread(session);
    Conversion_WaitForWorker(session);
}

void ConversionBridge::convert()
{
    static_cast<void>(onConversion(session, observer()));
}

ConversionObserver ConversionBridge::observer()
{
    // The worker never waits for the user-interface thread: each event is queued and the
    // worker goes on at once.
    return [this](const ConversionEvent &event) {
        QMetaObject::invokeMethod(this, [this, event] { apply(event); }, Qt::QueuedConnection);
    };
}

void ConversionBridge::apply(const ConversionEvent &event)
{
    Conversion_ApplyEvent(session, event);
}

void ConversionBridge::abortAndFinish()
{
    if (Gui_GetConversionRunning(session.run) == kRunIdle) return;
    Conversion_AbortThread(session);
    Conversion_WaitForWorker(session);
    // The worker has ended: every event it sent is queued here, RunFinished last.
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    Conversion_EndRun(session);  // in case the run's last event was already dropped
}
