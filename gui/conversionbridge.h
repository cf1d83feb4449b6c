#pragma once
// The conversion bridge: the worker reports on its own thread; the bridge, which lives on the
// user-interface thread, receives each event there as a queued call and applies it to the
// session in the order sent. Only the user-interface thread touches the session and widgets.

#include <QObject>

#include "conversion/runner.h"

class ConversionBridge : public QObject {
    Q_OBJECT
public:
    explicit ConversionBridge(Session &session, QObject *parent = nullptr);
    // Waits for a running worker before the bridge goes: no event may be posted to it after.
    ~ConversionBridge() override;

    // BUTTON_CONVERT: starts a run, or requests the abort of the running one.
    void convert();

    // Requests the abort of a running conversion, waits for the worker to end and applies its
    // last events, so the jobs keep their final statuses and the run is handed back.
    void abortAndFinish();

    // An observer for onConversion that posts each event to this bridge.
    ConversionObserver observer();

private:
    void apply(const ConversionEvent &event);

    Session &session;
};
