// The database library's whole interface.
#pragma once

#include "LQADO/LQADODBController.h"
#include "LQADO/LQADOField.h"
#include "LQADO/LQADOSQL.h"
#include "LQADO/LQADOTable.h"
#include "LQADO/LQADOVTData.h"
