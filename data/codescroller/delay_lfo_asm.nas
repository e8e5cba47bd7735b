; ----------------------------------------------------------
;  delay_lfo_asm.nas         Morvella -- Tin Lantern
;
;  ch_process: a swaying delay, the lantern's chorus.  A slow
;  sine LFO (x87 fsin) pushes the read tap back and forth
;  around a centre delay.  The tap falls between samples,
;  so two neighbours are blended linearly.  Some output is
;  fed back into the line; wet and dry are mixed at the end.
;
;  void ch_process(float *buf, int count)   in place
;  void ch_set_rate(float hz)               LFO speed
;
;  32-bit cdecl, eax/ecx/edx scratch, the rest preserved.
;  SSE for the samples, the FPU for the sine.
;  nasm -f elf32 delay_lfo_asm.nas
; ----------------------------------------------------------
        bits 32

%define DLY_LEN   2048          ; power of two, so wrapping
%define DLY_MASK  (DLY_LEN-1)   ; is a single AND

        section .data
ch_phase:       dd 0.0          ; LFO phase in radians
ch_rate:        dd 0.0000285    ; 2*pi*0.2 Hz / 44100
ch_twopi:       dd 6.2831853
ch_srate:       dd 44100.0
ch_centre:      dd 400.0        ; centre delay, ~9 ms
ch_depth:       dd 240.0        ; swing, +-5.4 ms
ch_feedback:    dd 0.45         ; more gives a metal swirl
ch_wet:         dd 0.5
ch_dry:         dd 0.5
ch_wpos:        dd 0            ; write index into the line

        section .bss
        alignb 16
ch_line:        resd DLY_LEN    ; 46 ms of history
ch_tap:         resd 1          ; FPU -> SSE hand-over

        section .text
        global ch_process
        global ch_set_rate

ch_process:
        push    ebp
        mov     ebp, esp
        push    esi
        mov     esi, [ebp+8]            ; esi -> samples
        mov     ecx, [ebp+12]           ; ecx = samples left
        test    ecx, ecx
        jle     .done
.sample:
        ; -- where is the tap?  d = centre + depth*sin(ph)
        fld     dword [ch_phase]
        fsin
        fmul    dword [ch_depth]
        fadd    dword [ch_centre]
        fstp    dword [ch_tap]
        movss   xmm1, [ch_tap]          ; d, always > 1
        cvttss2si eax, xmm1             ; n = whole samples
        cvtsi2ss xmm2, eax
        subss   xmm1, xmm2              ; f = d - n, 0..1

        ; -- read between x[n] and x[n+1]
        mov     edx, [ch_wpos]
        sub     edx, eax
        and     edx, DLY_MASK
        movss   xmm3, [ch_line+edx*4]   ; a = n samples ago
        dec     edx
        and     edx, DLY_MASK
        movss   xmm4, [ch_line+edx*4]   ; b = one further
        subss   xmm4, xmm3
        mulss   xmm4, xmm1              ; f*(b - a)
        addss   xmm3, xmm4              ; y = a + f*(b - a)

        ; -- feed the line: x + y*fb, then step the head
        movss   xmm0, [esi]             ; x, the dry input
        movss   xmm5, xmm3
        mulss   xmm5, [ch_feedback]
        addss   xmm5, xmm0
        mov     edx, [ch_wpos]
        movss   [ch_line+edx*4], xmm5
        inc     edx
        and     edx, DLY_MASK
        mov     [ch_wpos], edx

        ; -- out = dry*x + wet*y
        mulss   xmm0, [ch_dry]
        mulss   xmm3, [ch_wet]
        addss   xmm0, xmm3
        movss   [esi], xmm0
        add     esi, 4

        ; -- advance the LFO, keep the phase in [0, 2pi)
        ;    so fsin stays quick and exact
        fld     dword [ch_phase]
        fadd    dword [ch_rate]         ; st0 = phase
        fld     dword [ch_twopi]        ; st0 = 2pi, st1 = ph
        fcomi   st0, st1
        ja      .inside                 ; 2pi > phase: fine
        fsub    st1, st0                ; else wrap around
.inside:
        fstp    st0                     ; drop 2pi
        fstp    dword [ch_phase]
        dec     ecx
        jnz     .sample
.done:
        pop     esi
        pop     ebp
        ret

; ch_set_rate: rate = 2*pi*hz / fs radians per sample
ch_set_rate:
        push    ebp
        mov     ebp, esp
        fld     dword [ebp+8]           ; hz
        fmul    dword [ch_twopi]
        fdiv    dword [ch_srate]
        fstp    dword [ch_rate]
        pop     ebp
        ret
