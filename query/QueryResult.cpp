#include "query/QueryResult.h"

#include "res/Resource.h"

namespace query {

int QueryResultStringId(EQueryResult nResult) {
    switch (nResult) {
        case QUERY_NO_SOCKET:
            return res::IDS_NO_SOCKET;
        case QUERY_NO_HOST:
            return res::IDS_NO_HOST;
        case QUERY_NOT_FOUND:
            return res::IDS_NOT_FOUND;
        case QUERY_TIMED_OUT:
            return res::IDS_TIMED_OUT;
        case QUERY_OK:
        case QUERY_STOPPED:
        case QUERY_AGAIN:
            break;
    }
    return 0;
}

}  // namespace query
