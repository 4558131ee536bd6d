#pragma once
// The query additions file: pairs of lines, a table name and the extra line of that table's
// source query, prepared by the operator beforehand. Read only, anew at every copy preparation.

#include <QString>

#include "schema/table_model.h"

class TCodePage;

// Applies the file to the tables: each pair sets the query addition of the first table whose
// name equals the pair's name (Latin letters compared without case, nothing trimmed). Tables
// named by no pair keep their addition; a later pair for the same table wins; a last line
// without a partner is ignored. A missing file changes nothing; an unreadable one raises
// TFileError.
void LoadQueryAddi(const QString& file_addi, TTables& tables, const TCodePage& code_page);
