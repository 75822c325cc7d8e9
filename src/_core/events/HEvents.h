#pragma once

#include <boost/json/value.hpp>

class HServer;

// Sends host events to every page connected to the websocket.
class HEvents {
public:
    explicit HEvents(HServer& server);
    HEvents(const HEvents&) = delete;
    HEvents& operator=(const HEvents&) = delete;

    void dispatch(const boost::json::value& event);

private:
    HServer& server;
};
