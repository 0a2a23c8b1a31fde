#pragma once

// A small main library for the browser's tests: eight 8-bell methods in three lead-head groups
// (A, B, M, so that groups follow one another), one with a notation the check refuses, a
// 9-bell method after them, and single methods on other stages. In NAME order the 8-bell
// methods run ALDENHAM .. YORKSHIRE; in GRPNAME order group A ends with PLAIN BOB MAJOR and
// group B follows.
inline constexpr const char* kBrowserMethodsCsv =
    "0,TB_Method_Library,\"Test build 7\",\n"
    "8,\"CAMBRIDGE SURPRISE MAJOR\",\"-3-4-25-36-4-5-6-7 LH2\",B\n"
    "8,\"YORKSHIRE SURPRISE MAJOR\",\"-3-4-5-6-2-3-4-7 LH2\",B\n"
    "8,\"ALDENHAM SURPRISE MAJOR\",\"-5-4.5-5.36.4-4.5-4-1 LH1\",A\n"
    "8,\"NEW YORKSHIRE SURPRISE MAJOR\",\"-3-4-5-6-2-3-4-5 LH2\",B\n"
    "8,\"PLAIN BOB MAJOR\",\"-1-1-1-1 LH2\",A\n"
    "8,\"BROKEN NOTATION MAJOR\",\"-3-4-Q\",B\n"
    "8,\"LONDON SURPRISE MAJOR\",\"3-3.4-2-3.4-4.3-4-3 LH2\",M\n"
    "8,\"ASHTEAD SURPRISE MAJOR\",\"-3-4-2.5.6-34-5-36-7 LH2\",A\n"
    "8,\"BRISTOL SURPRISE MAJOR\",\"-5-4.5-5.36.4-4.5-4-8 LH8\",M\n"
    "9,\"GRANDSIRE CATERS\",\"3.1.9.1.9.1.9.1.9.1.9.1.9.1.9.1.9.1\",P1\n"
    "10,\"CAMBRIDGE SURPRISE ROYAL\",\"-3-4-25-36-4-5-6-7-8-9 LH2\",B\n"
    "12,\"CAMBRIDGE SURPRISE MAXIMUS\",\"-3-4-25-36-4-5-6-7-8-9-0-E LH2\",B\n"
    "6,\"PLAIN BOB MINOR\",\"-1-1-1 LH2\",A\n";
