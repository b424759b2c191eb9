#include "fuzzsupport.h"

#include "httprequesthead.h"

QList<QByteArray> fuzzSeeds()
{
    return { "GET /report?user=a%3Cb%3E HTTP/1.1\r\nHost: x\r\n\r\n", "HEAD /report.pdf HTTP/1.0\r\n\r\n",
             "POST /report HTTP/1.1\r\nContent-Length: 0\r\n\r\n", "GET / HTTP/2.0\r\n\r\n",
             "GET /report?user=%F0%9F%98%80&user=x#frag HTTP/1.1\r\n\r\n" };
}

void fuzzOne(const QByteArray &input)
{
    constexpr int MaxHead = 1024;
    const HttpRequestHead head = HttpRequestHead::parse(input, MaxHead);
    if (head.result == HttpRequestHead::Result::Incomplete)
        FUZZ_CHECK(input.size() <= MaxHead);
    if (head.result == HttpRequestHead::Result::Request)
        FUZZ_CHECK(head.method == "GET" || head.method == "HEAD");
}
