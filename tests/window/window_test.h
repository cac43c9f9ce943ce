// The test dialog's identifiers, shared by its template and the tests.
#pragma once

#define IDD_TEST 200
#define IDC_LABEL 10
