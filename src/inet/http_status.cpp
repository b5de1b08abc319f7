// GetHttpStatusCodeDescription: HTTP status codes to phrases of the string table.

#include "NavoTools/Inet.h"

namespace {

// String-table rows of the phrases. 502 and 503 take their IDs crosswise (8094, 8093):
// each text belongs to its code, so the rows are kept as they are.
constexpr UINT kNoDescriptionId = 8096;

UINT HttpStatusStringId(LONG code) {
    switch (code) {
        case 100: return 8064;
        case 101: return 8065;
        case 200: return 8066;
        case 201: return 8067;
        case 202: return 8068;
        case 203: return 8069;
        case 204: return 8070;
        case 205: return 8071;
        case 206: return 8072;
        case 300: return 8073;
        case 301: return 8074;
        case 302: return 8075;
        case 303: return 8076;
        case 304: return 8077;
        case 305: return 8078;
        case 307: return 8079;
        case 400: return 8080;
        case 401: return 8081;
        case 402: return 8082;
        case 403: return 8083;
        case 404: return 8084;
        case 405: return 8085;
        case 407: return 8086;
        case 408: return 8087;
        case 410: return 8088;
        case 413: return 8089;
        case 414: return 8090;
        case 500: return 8091;
        case 501: return 8092;
        case 502: return 8094;
        case 503: return 8093;
        case 504: return 8095;
        default: return kNoDescriptionId;
    }
}

}  // namespace

CString GetHttpStatusCodeDescription(LONG code) {
    CString description;
    // A row missing from every module of the chain leaves the text empty, which is what
    // the caller gets then.
    description.LoadString(HttpStatusStringId(code));
    return description;
}
