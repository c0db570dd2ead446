// The database library's whole interface.
#pragma once

#include "LQADODBController.h"
#include "LQADOField.h"
#include "LQADOSQL.h"
#include "LQADOTable.h"
#include "LQADOVTData.h"
