#pragma once
// The section handlers of the DBC reader, one per leading keyword. Each takes the statement in
// the context, may read further lines, fills the model, and returns 1 on success or 0 when the
// section could not be read (its status is then set).
namespace qm::dbc {

class DbcReadContext;

int ReadVersion(DbcReadContext& context);
int ReadNewSymbols(DbcReadContext& context);
int ReadBusTiming(DbcReadContext& context);
int ReadNodes(DbcReadContext& context);
int ReadValueTable(DbcReadContext& context);
int ReadMessage(DbcReadContext& context);
int ReadSignal(DbcReadContext& context);
int ReadMessageTransmitters(DbcReadContext& context);
int ReadEnvironmentVariable(DbcReadContext& context);
int ReadEnvironmentVariableData(DbcReadContext& context);
int ReadComment(DbcReadContext& context);
int ReadAttributeDefinition(DbcReadContext& context);
int ReadRelationAttributeDefinition(DbcReadContext& context);
int ReadAttributeDefault(DbcReadContext& context);
int ReadRelationAttributeDefault(DbcReadContext& context);
int ReadAttributeValue(DbcReadContext& context);
int ReadRelationAttributeValue(DbcReadContext& context);
int ReadValueDescriptions(DbcReadContext& context);
int ReadSignalValueType(DbcReadContext& context);
int ReadSignalGroup(DbcReadContext& context);
// Tolerant reading only: "SG_MUL_VAL_" lines into the extended multiplexing of a signal.
int ReadExtendedMultiplexing(DbcReadContext& context);

}  // namespace qm::dbc
