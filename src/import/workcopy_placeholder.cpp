// placeholder until the import library has sources
