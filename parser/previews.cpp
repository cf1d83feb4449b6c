#include "parser/previews.h"

void Parser_UpdateEolPlots(Session &session) { Session_Notify(session, SessionChange::IqPage); }

void onIqFilePosition(Session &session)
{
    Session_Notify(session, SessionChange::IqPage);
    Session_Notify(session, SessionChange::SignalProcessingPage);
}
