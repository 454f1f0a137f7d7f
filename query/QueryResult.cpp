#include "query/QueryResult.h"

int QueryResultStringId(QueryResult nResult) {
    switch (nResult) {
        case QUERY_NO_SOCKET:
            return 37;  // "Couldn't create Socket!"
        case QUERY_NO_HOST:
            return 39;  // "Couldn't find Server at this IP!"
        case QUERY_NOT_FOUND:
            return 38;  // "Couldn't find Server! Check the Portsettings."
        case QUERY_TIMED_OUT:
            return 45;  // "Server timed out."
        case QUERY_OK:
        case QUERY_STOPPED:
            break;
    }
    return 0;
}
