#pragma once
// The chart-server objects created in this process, so that running one can
// be refused once the document in front denies copying. The pointers are not
// references: they are only compared, never called through (the object may be
// gone, and its address reused).
void AddGraphObject(const void* object);
bool IsGraphObject(const void* object);
