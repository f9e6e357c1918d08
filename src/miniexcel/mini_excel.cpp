#include "miniexcel/mini_excel.h"
