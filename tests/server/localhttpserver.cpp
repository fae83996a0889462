// Local HTTP server: see localhttpserver.h.
#include <winsock2.h>
#include "localhttpserver.h"
#include <process.h>

LocalHttpServer::LocalHttpServer(const std::map<std::string, std::string> &files) : m_files(files)
{
    WSADATA wsa;
    if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0)
        return;
    m_listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int cb = sizeof addr;
    if (m_listener == INVALID_SOCKET || bind(m_listener, (sockaddr *)&addr, sizeof addr) != 0 ||
        listen(m_listener, 8) != 0 || getsockname(m_listener, (sockaddr *)&addr, &cb) != 0) {
        if (m_listener != INVALID_SOCKET)
            closesocket(m_listener);
        m_listener = INVALID_SOCKET;
        return;
    }
    m_port = ntohs(addr.sin_port);
    m_hThread = (HANDLE)_beginthreadex(NULL, 0, ThreadProc, this, 0, NULL);
}

LocalHttpServer::~LocalHttpServer()
{
    if (m_listener != INVALID_SOCKET)
        closesocket(m_listener);     // accept fails: the thread ends
    if (m_hThread) {
        WaitForSingleObject(m_hThread, 10000);
        CloseHandle(m_hThread);
    }
    WSACleanup();
}

std::string LocalHttpServer::BaseUrl() const
{
    return m_port ? "http://127.0.0.1:" + std::to_string(m_port) : std::string();
}

unsigned __stdcall LocalHttpServer::ThreadProc(void *pv)
{
    LocalHttpServer *self = static_cast<LocalHttpServer *>(pv);
    for (;;) {
        SOCKET s = accept(self->m_listener, NULL, NULL);
        if (s == INVALID_SOCKET)
            return 0;
        self->Serve(s);
        closesocket(s);
    }
}

void LocalHttpServer::Serve(UINT_PTR s)
{
    std::string request;
    char buf[1024];
    while (request.find("\r\n\r\n") == std::string::npos) {
        int n = recv(s, buf, sizeof buf, 0);
        if (n <= 0)
            return;
        request.append(buf, n);
    }
    InterlockedIncrement(&m_nRequests);
    // "GET /path HTTP/1.1"
    size_t start = request.find(' ') + 1;
    std::string path = request.substr(start, request.find(' ', start) - start);
    path = path.substr(0, path.find('?'));
    auto it = m_files.find(path);
    std::string body = it != m_files.end() ? it->second : "not here";
    std::string response = std::string(it != m_files.end() ? "HTTP/1.1 200 OK" : "HTTP/1.1 404 Not Found") +
                           "\r\nContent-Length: " + std::to_string(body.size()) +
                           "\r\nConnection: close\r\n\r\n" + body;
    send(s, response.data(), (int)response.size(), 0);
}
