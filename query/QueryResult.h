#pragma once

namespace query {
// Result codes of a query run and the string-table texts their users show.

enum EQueryResult {
    QUERY_OK = 0,
    QUERY_NO_SOCKET,  // Open: the socket could not be created
    QUERY_NO_HOST,    // Open: the server name did not resolve
    QUERY_NOT_FOUND,  // Exchange: five empty waits before the server was ever heard
    QUERY_TIMED_OUT,  // Exchange: too many failed receives, or silent waits where limited
    QUERY_STOPPED,    // Exchange: the caller's stop request ended it; not a failure to report
    QUERY_AGAIN,      // Exchange, one round per call: no reply this round; call again
};

// String-table id of a failure's text (37, 39, 38, 45); 0 for QUERY_OK and
// QUERY_STOPPED, which show no text. Any thread.
int QueryResultStringId(EQueryResult nResult);

}  // namespace query
