#pragma once

// The record registrations of the kernel's subsystems, called once by
// mb_kernel_initialize.

void mb_register_database_records();
void mb_register_stream_records();
void mb_register_text_records();
void mb_register_entity_records();
