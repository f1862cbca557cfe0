// placeholder, replaced as the folder is built
