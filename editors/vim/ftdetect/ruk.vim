" ruk programs: files ending in .ruk
autocmd BufNewFile,BufRead *.ruk setfiletype ruk
