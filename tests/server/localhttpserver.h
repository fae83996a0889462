// A tiny HTTP server on 127.0.0.1 for the download tests: answers GET
// requests for the paths it was given, 404 for any other.
#ifndef VUR_TEST_LOCALHTTPSERVER_H
#define VUR_TEST_LOCALHTTPSERVER_H

#include <windows.h>
#include <map>
#include <string>

class LocalHttpServer {
public:
    explicit LocalHttpServer(const std::map<std::string, std::string> &files);
    ~LocalHttpServer();
    // "http://127.0.0.1:PORT"; empty when the server could not start.
    std::string BaseUrl() const;
    int Requests() const { return m_nRequests; }

private:
    static unsigned __stdcall ThreadProc(void *pv);
    void Serve(UINT_PTR s);
    std::map<std::string, std::string> m_files;
    UINT_PTR m_listener = ~(UINT_PTR)0;   // a SOCKET; INVALID_SOCKET means none
    int m_port = 0;
    HANDLE m_hThread = NULL;
    volatile LONG m_nRequests = 0;
};

#endif
