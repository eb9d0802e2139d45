#pragma once
// The parts of the program state the head link works on: those of ping processing, which the
// acquisition thread runs on every reply (the settings, the run state and the head values
// among them), and the link's own state. The program builds it from its whole state
// (head_link_context in control/app_state.h).

#include "headlink/head_link_state.h"
#include "ping/ping_context.h"

namespace kelvanor {

struct HeadLinkContext : PingContext {
    HeadLinkState& link;
};

}  // namespace kelvanor
