#include "HEvents.h"

#include "HServer.h"

HEvents::HEvents(HServer& server) : server(server) {}

void HEvents::dispatch(const boost::json::value& event) {
    server.writeSocketEvent(event);
}
